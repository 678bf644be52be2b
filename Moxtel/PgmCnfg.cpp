// PgmCnfg: the access with its one-time load, and the lane-file, override, flag and registry
// lookups.
#include "Moxtel/PgmCnfg.h"

#include <algorithm>

#include "Moxtel/LogMessage.h"
#include "link/LinkConfig.h"
#include "platform/IniFile.h"

namespace lane::moxtel {

static_assert(TMCB_SECURITY_MODULE == link::kBoardTypeTmcb);
static_assert(USB_SECURITY_MODULE == link::kBoardTypeUsb);

namespace {

constexpr const char* kModule = "PgmCnfg";

// `text` as a caller's buffer of `length` characters (with its terminating zero) takes it.
std::string CutToBuffer(std::string text, std::size_t length) {
    text.resize(std::min(text.size(), length == 0 ? 0 : length - 1));
    return text;
}

const char* ModeSection(int operationMode) {
    switch (operationMode) {
        case SMODE_EFT_ONLY:
            return "Mode_EFT_Section";
        case SMODE_CASH_EFT:
            return "Mode_Cash_EFT_Section";
        default:
            return "Mode_Suspend_Section";
    }
}

}  // namespace

const ProgramConfig& PgmCnfg::Access(CLogMessage& log) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!started_) {
        started_ = true;
        loader_ = std::this_thread::get_id();
        lock.unlock();
        values_.SpawnProgram_Directory.clear();
        values_.SpawnProgram_ShutDown.clear();
        values_.SpawnProgram_Calibrate.clear();
        loadResult_.store(Load(log));
        ready_.store(true);
        return values_;
    }
    const bool loader = loader_ == std::this_thread::get_id();
    lock.unlock();
    while (!loader && !ready_.load()) {
        sources_.clock.SleepMs(kConfigReadyPollMs);
    }
    return values_;
}

std::size_t PgmCnfg::CheckedLength(std::size_t length, CLogMessage& log) const {
    if (length <= kConfigBufferSize) {
        return length;
    }
    log.LogMessage(kLogError, kCategoryConfiguration, kModule, __LINE__,
                   "Internal Configuration Buffer( %u ) < Passed Buffer ( %u )",
                   static_cast<unsigned>(kConfigBufferSize), static_cast<unsigned>(length));
    return kConfigBufferSize;
}

std::string PgmCnfg::ReadIni(const char* section, const char* key, const char* file) const {
    return platform::GetPrivateProfileString(section, key, kIniFieldNotSet, kConfigBufferSize,
                                             sources_.paths.Map(file));
}

bool PgmCnfg::OverrideLookup(int operationMode, const char* key, std::string& value,
                             std::size_t length, CLogMessage& log) const {
    length = CheckedLength(length, log);
    std::string found = ReadIni(kOverrideConfigSection, key, kOverrideConfigFile);
    if (found != kIniFieldNotSet) {
        log.LogMessage(kLogWarning, kCategoryConfiguration, kModule, __LINE__,
                       "Using Value from Configuration Override File: %s = '%s'", key,
                       found.c_str());
        value = CutToBuffer(found, length);
        return true;
    }
    for (const char* section : {ModeSection(operationMode), kCommonModeSection}) {
        found = ReadIni(section, key, kBannerConfigFile);
        if (found != kIniFieldNotSet) {
            log.LogMessage(kLogWarning, kCategoryConfiguration, kModule, __LINE__,
                           "Using Value from Configuration Banner Override File: %s = '%s'", key,
                           found.c_str());
            value = CutToBuffer(found, length);
            return true;
        }
    }
    for (const char* section : {ModeSection(operationMode), kCommonModeSection}) {
        found = ReadIni(section, key, kChainConfigFile);
        if (found != kIniFieldNotSet) {
            value = CutToBuffer(found, length);
            return true;
        }
    }
    return false;
}

bool PgmCnfg::LaneFileLookup(const char* key, const char* defaultText, std::string& value,
                             std::size_t length, const char* section, const char* file,
                             CLogMessage& log) const {
    length = CheckedLength(length, log);
    const std::string found = ReadIni(section, key, file);
    if (found == kIniFieldNotSet) {
        value = CutToBuffer(defaultText, length);
        return false;
    }
    value = CutToBuffer(found, length);
    return true;
}

bool PgmCnfg::FlagLookup(const char* key, bool defaultValue, CLogMessage& log) const {
    bool flag = defaultValue;
    std::string text;
    if (OverrideLookup(values_.SystemOperatingMode, key, text, kConfigBufferSize, log)) {
        const char first = text.empty() ? '\0' : text[0];
        if (first == '0' || first == 'F' || first == 'f') {
            flag = false;
        } else if (first == '1' || first == 'T' || first == 't') {
            flag = true;
        } else {
            log.LogMessage(kLogError, kCategoryConfiguration, kModule, __LINE__,
                           "Invalid Setting for Configuration Field: %s = %s", key, text.c_str());
        }
    }
    log.LogMessage(kLogWarning, kCategoryConfiguration, kModule, __LINE__, "Config: %-60s : %s",
                   key, flag ? "true" : "false");
    return flag;
}

bool PgmCnfg::RegistryLookup(const char* name, std::string& value, std::size_t length) const {
    platform::RegValue stored;
    if (sources_.registry.QueryValue(kLaneRegistryKey, name, stored) != 0 ||
        stored.type != platform::RegValue::Type::String || length == 0) {
        return false;
    }
    value = stored.text.substr(0, length - 1);
    return true;
}

}  // namespace lane::moxtel
