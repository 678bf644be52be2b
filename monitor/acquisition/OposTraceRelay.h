// COposTraceRelay: hands trace lines to the OPOS trace collector library when the device class
// it was built for is one the collector serves and the collector asks for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/DynamicLibrary.h"

namespace lane::monitor {

inline constexpr const char* kOposTraceLibraryName = "zolptrace.dll";
inline constexpr const char* kOposSendEntryName = "SendOposTrace";
inline constexpr std::int32_t kOposTraceMessageKind = 100;
// What the monitor's trace offers with each line.
inline constexpr std::int32_t kOposRelayLevel = 4;
inline constexpr const char* kOposRelaySource = "ListInput";
// The monitor's own class (not one the collector serves) and name.
inline constexpr const char* kMonitorRelayClass = "CTAVRIK";
inline constexpr const char* kMonitorRelayName = "CTavrkView";

// The record handed to the collector: level, relay name, source name, text.
inline constexpr std::size_t kOposRecordNameSize = 50;
inline constexpr std::size_t kOposRecordTextSize = 5120;
inline constexpr std::size_t kOposRecordLevelOffset = 0;
inline constexpr std::size_t kOposRecordNameOffset = 4;
inline constexpr std::size_t kOposRecordSourceOffset = kOposRecordNameOffset + kOposRecordNameSize;
inline constexpr std::size_t kOposRecordTextOffset = kOposRecordSourceOffset + kOposRecordNameSize;
inline constexpr std::size_t kOposRecordSize = kOposRecordTextOffset + kOposRecordTextSize;
static_assert(kOposRecordSize == 5224);

// Longest device class, name and enable entry name kept.
inline constexpr std::size_t kOposRelayTextMax = 39;

// The collector's enable entry for `deviceClass` (exact case), or "" when it serves no such class.
std::string OposEnableEntryName(const std::string& deviceClass);

class COposTraceRelay {
  public:
    using EnableEntry = std::int32_t (*)();
    using SendEntry = void (*)(std::int32_t kind, const void* record, std::int32_t length);

    // Looks the class up and, for a class the collector serves, loads the collector and its two
    // entries. A missing library or entry leaves the relay off without a word.
    COposTraceRelay(const std::string& deviceClass, const std::string& name);
    COposTraceRelay(const COposTraceRelay&) = delete;
    COposTraceRelay& operator=(const COposTraceRelay&) = delete;

    // True when the collector and both entries are there (the enable entry is still asked per
    // line).
    bool Loaded() const { return enable_ != nullptr && send_ != nullptr; }
    const std::string& EnableEntryName() const { return enableEntryName_; }

    // Formats one line into a record and sends it, when the collector is loaded and its enable
    // entry accepts records now. Any thread; each call builds its own record.
    void SendTrace(std::int32_t level, const char* source, const char* format, ...) const
        __attribute__((format(printf, 4, 5)));

  private:
    std::string deviceClass_;
    std::string name_;
    std::string enableEntryName_;
    platform::DynamicLibrary library_;
    EnableEntry enable_ = nullptr;
    SendEntry send_ = nullptr;
};

}  // namespace lane::monitor
