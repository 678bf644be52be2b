// The lanereg command: reg.exe's query, add, delete, import and export on the lane's hive.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace lane::tools {

inline constexpr int kRegToolSuccess = 0;
inline constexpr int kRegToolFailure = 1;

struct RegToolContext {
    platform::Registry& registry;
    std::istream& in;   // answers to the Yes/No questions
    std::ostream& out;  // results, as reg.exe prints them
    std::ostream& err;  // "ERROR: ..." lines
    // Host path of a file name given on the command line (import, export).
    std::function<std::string(const std::string&)> hostPathOf;
};

// Runs one command (the arguments after the program name) and returns the exit code.
int RunRegTool(const std::vector<std::string>& args, RegToolContext& context);

}  // namespace lane::tools
