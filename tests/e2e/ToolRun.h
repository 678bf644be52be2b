// Running an outside tool (cpack, dpkg-deb, curl) to its end from an end-to-end test.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {

inline constexpr std::int64_t kToolTimeoutMs = 60000;

struct ToolResult {
    int exitCode = -1;
    std::string output;  // standard output and error, lines ended by '\n'
};

// Runs `program` (a full path found by the build) with `arguments` until it ends; a program the
// build did not find fails the test that needs it.
inline ToolResult RunTool(
    const std::string& program, const std::vector<std::string>& arguments,
    const std::vector<std::pair<std::string, std::string>>& environment = {}) {
    ToolResult result;
    if (!std::filesystem::exists(program)) {
        ADD_FAILURE() << "missing tool " << program << ": run scripts/setup.sh";
        return result;
    }
    platform::ChildProcess child;
    if (child.Start(program, arguments, environment, true) != 0) {
        ADD_FAILURE() << "cannot start " << program;
        return result;
    }
    std::string line;
    std::uint32_t read = 0;
    while ((read = child.ReadLine(line, kToolTimeoutMs)) == 0) {
        result.output += line + "\n";
    }
    result.output += line;
    EXPECT_EQ(read, platform::kProcessOutputEnded) << program << " did not end in time";
    platform::ProcessExit exit;
    if (read != platform::kProcessOutputEnded) {
        (void)child.Kill();
    }
    EXPECT_EQ(child.Wait(exit), 0u);
    result.exitCode = exit.signalled ? -exit.code : exit.code;
    return result;
}

}  // namespace lane::e2e
