// Fuzz target of the command lines that update scripts and technicians type: the utility's, the
// monitor's switches, lanereg's and lanesim's. Any arguments (the input split at NUL bytes) parse
// without a fault; a DWORD datum that reads writes back in both its forms to the same value.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "Moxtel/UtilityOptions.h"
#include "monitor/acquisition/TavrikApp.h"
#include "sim/Options.h"
#include "tools/reg/RegArguments.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

void CheckDword(const std::string& text) {
    std::uint32_t value = 0;
    if (!lane::tools::ParseRegDwordData(text, value)) {
        return;
    }
    std::uint32_t again = 0;
    Check(lane::tools::ParseRegDwordData(std::to_string(value), again) && again == value);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", value);
    again = 0;
    Check(lane::tools::ParseRegDwordData(hex, again) && again == value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> arguments;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find('\0', at), text.size());
        arguments.emplace_back(text.substr(at, end - at));
        at = end + 1;
    }

    const lane::moxtel::ParsedCommandLine utility = lane::moxtel::ParseCommandLine(arguments);
    (void)utility;
    std::vector<std::string> withProgram{"Moxtel"};
    withProgram.insert(withProgram.end(), arguments.begin(), arguments.end());
    (void)lane::moxtel::FirstArgumentIsGetUtilityVersion(withProgram);
    (void)lane::monitor::ParseSwitches(arguments);

    lane::sim::LanesimOptions options;
    std::string error;
    if (lane::sim::ParseOptions(arguments, options, error) != 0) {
        Check(!error.empty());
    }

    if (const lane::tools::RegOperationRule* rule = lane::tools::FindRegOperation(arguments[0])) {
        lane::tools::RegCommand command;
        (void)lane::tools::ParseRegArguments(arguments, *rule, command);
    }
    for (const std::string& argument : arguments) {
        std::string key;
        std::string display;
        (void)lane::tools::ParseRegKeyName(argument, key, display);
        CheckDword(argument);
    }
    return 0;
}
