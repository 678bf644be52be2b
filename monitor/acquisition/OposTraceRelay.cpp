// COposTraceRelay: hands trace lines to the OPOS trace collector library when the device class
// it was built for is one the collector serves and the collector asks for them.
#include "monitor/acquisition/OposTraceRelay.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace lane::monitor {

namespace {

struct ClassEntry {
    const char* deviceClass;
    const char* enableEntry;
};

// Searched in this order, exact case.
constexpr ClassEntry kClassTable[] = {
    {"CCASHDRAWER", "IsOposCashDrawerEnabled"},
    {"CCHECKSCANNER", "IsOposCheckScannerEnabled"},
    {"CTOTALS", "IsOposHardTotalsEnabled"},
    {"CKEYLOCK", "IsOposKeylockEnabled"},
    {"CLINEDISPLAY", "IsOposLineDisplayEnabled"},
    {"CMSR", "IsOposMsrEnabled"},
    {"CMICR", "IsOposMicrEnabled"},
    {"CPOSKEYBOARD", "IsOposPosKeyboardEnabled"},
    {"CPOSPRINTER", "IsOposPosPrinterEnabled"},
    {"CPRESENCESENSOR", "IsOposPresenceSensorEnabled"},
    {"CSCALE", "IsOposScaleEnabled"},
    {"CSCANNER", "IsOposScannerEnabled"},
    {"S1COMMIO", "IsOposSystemEnabled"},
    {"CSYSTEM", "IsOposSystemEnabled"},
    {"CTONEINDICATOR", "IsOposToneIndicatorEnabled"},
};

std::string Kept(const std::string& text) {
    return text.substr(0, kOposRelayTextMax);
}

// Copies `text` into a zero-filled field of `size` bytes, always leaving its terminating zero.
void PutField(unsigned char* field, std::size_t size, const std::string& text) {
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

void PutLevel(unsigned char* record, std::int32_t level) {
    const auto value = static_cast<std::uint32_t>(level);
    for (std::size_t i = 0; i < 4; ++i) {
        record[kOposRecordLevelOffset + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

}  // namespace

std::string OposEnableEntryName(const std::string& deviceClass) {
    for (const ClassEntry& entry : kClassTable) {
        if (deviceClass == entry.deviceClass) {
            return entry.enableEntry;
        }
    }
    return "";
}

COposTraceRelay::COposTraceRelay(const std::string& deviceClass, const std::string& name)
    : deviceClass_(Kept(deviceClass)),
      name_(Kept(name)),
      enableEntryName_(Kept(OposEnableEntryName(deviceClass_))) {
    if (enableEntryName_.empty()) {
        return;
    }
    if (library_.Load(kOposTraceLibraryName) != 0) {
        return;
    }
    enable_ = reinterpret_cast<EnableEntry>(library_.Proc(enableEntryName_));
    send_ = reinterpret_cast<SendEntry>(library_.Proc(kOposSendEntryName));
}

void COposTraceRelay::SendTrace(std::int32_t level, const char* source, const char* format,
                                ...) const {
    if (!Loaded() || enable_() == 0) {
        return;
    }
    auto record = std::make_unique<unsigned char[]>(kOposRecordSize);  // zero-filled
    PutLevel(record.get(), level);
    PutField(record.get() + kOposRecordNameOffset, kOposRecordNameSize, name_);
    PutField(record.get() + kOposRecordSourceOffset, kOposRecordNameSize,
             source != nullptr ? source : "");
    // Formatted with room for a terminating zero past the field, so a text of the field's full
    // length is kept whole; the field itself carries at most kOposRecordTextSize characters.
    std::string text(kOposRecordTextSize + 1, '\0');
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vsnprintf(text.data(), text.size(), format, arguments);
    va_end(arguments);
    const std::size_t length =
        written < 0 ? 0 : std::min(static_cast<std::size_t>(written), kOposRecordTextSize);
    std::memcpy(record.get() + kOposRecordTextOffset, text.data(), length);
    send_(kOposTraceMessageKind, record.get(),
          static_cast<std::int32_t>(kOposRecordTextOffset + length));
}

}  // namespace lane::monitor
