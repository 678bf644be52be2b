// The platform test helper as the tests and the helper both see it: path, sub-commands, lines.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace lane::platform::testing {

// Sub-commands of platform_test_helper; PlatformHelperMain.cpp describes their arguments.
inline constexpr const char* kApplyGenerations = "apply-generations";
inline constexpr const char* kSetValues = "set-values";
inline constexpr const char* kTryInstanceLock = "try-instance-lock";
inline constexpr const char* kHoldInstanceLock = "hold-instance-lock";
inline constexpr const char* kHoldRegistryLock = "hold-registry-lock";

// Lines the helper writes, and its exit codes.
inline constexpr const char* kApplyingPrefix = "applying ";  // + the generation about to be applied
inline constexpr const char* kHeldPrefix = "held";           // a hold sub-command has its lock
inline constexpr const char* kWritingLine = "writing";       // set-values begins its writes
inline constexpr int kHelperExitRefused = 1;                 // the lock is held by someone else
inline constexpr int kHelperExitUsage = 2;
inline constexpr int kHelperExitFailed = 3;    // a platform call failed
inline constexpr int kHelperExitNotEnded = 4;  // a holder no one ended gave up

// The helper program in the build tree `binaryDir`.
inline std::string HelperProgram(const std::string& binaryDir) {
    return binaryDir + "/tests/platform/platform_test_helper";
}

// The number after `prefix` in `line`; false when the line is anything else.
inline bool ParseNumberAfter(std::string_view line, std::string_view prefix,
                             std::uint32_t& number) {
    if (line.substr(0, prefix.size()) != prefix || line.size() == prefix.size()) {
        return false;
    }
    const char* end = line.data() + line.size();
    const auto [stop, error] = std::from_chars(line.data() + prefix.size(), end, number);
    return error == std::errc() && stop == end;
}

// The generations apply-generations writes: each replaces every value of one key at once, so a
// hive that holds values of two generations was torn.
inline constexpr const char* kGenerationKey = "SOFTWARE\\Quarnel\\Tavrik\\Values";
inline constexpr int kValuesPerGeneration = 1500;

inline std::string GenerationValueText(std::uint32_t generation, int index) {
    return "generation " + std::to_string(generation) + " value " + std::to_string(index) +
           " with some padding to make the hive big";
}

// Values "Value0".."Value1499" and, last, the DWORD "Generation".
inline RegBatch Generation(std::uint32_t generation) {
    RegBatch batch;
    for (int i = 0; i < kValuesPerGeneration; ++i) {
        batch.SetString(kGenerationKey, "Value" + std::to_string(i),
                        GenerationValueText(generation, i));
    }
    batch.SetDword(kGenerationKey, "Generation", generation);
    return batch;
}

}  // namespace lane::platform::testing
