// lanereg and lanesim as programs: a file that is not what they need, or an output they cannot
// write, ends them with a message and a failure code, never with an abort or a silent 0.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

class ToolFaultsTest : public LaneTest {
  protected:
    // Runs `command` through the shell (for its redirections) with the lane root set; gives its
    // exit code and its standard error, which the command sends to standard output with 2>&1.
    int RunShell(const std::string& command, std::string& output) {
        platform::ChildProcess shell;
        EXPECT_EQ(shell.Start("/bin/sh", {"-c", command}, Environment()), 0u);
        output.clear();
        std::string line;
        while (shell.ReadLine(line, kLineTimeoutMs) == 0) {
            output += line + "\n";
        }
        return ExitCode(shell);
    }
};

TEST_F(ToolFaultsTest, BadFilesAndUnwritableOutputEndWithAReasonAndAFailureCode) {
    const std::string lanereg = BinaryPath("tools/reg/lanereg");
    const std::string lanesimProgram = BinaryPath("sim/lanesim");
    const std::string folder = root.Path();
    std::ofstream(root / "record.txt") << "# 1 opened\n1 02 56 03\n";
    ASSERT_EQ(registry.SetValue("SOFTWARE\\X", "A", platform::RegValue::String("1")), 0u);

    struct Case {
        std::string command;
        int code;
        std::string output;
    };
    const std::vector<Case> cases = {
        {lanereg + " import " + folder + " 2>&1", 1,
         "ERROR: Error opening the file. There may be a disk or file system error.\n" + folder +
             ": An operation is not supported on a directory. (error 336)\n"},
        {lanereg + " query 'HKLM\\SOFTWARE\\X' 2>&1 >/dev/full", 1,
         "ERROR: The output could not be written.\n"},
        {lanesimProgram + " " + folder + " 2>&1", 2,
         "lanesim: cannot read scenario " + folder +
             " (error 336: An operation is not supported on a directory.)\n"},
        {lanesimProgram + " --show-record " + (root / "record.txt").string() + " 2>&1 >/dev/full",
         5, "lanesim: the record could not be written to standard output\n"},
    };
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(RunShell(c.command, output), c.code) << c.command;
        EXPECT_EQ(output, c.output) << c.command;
    }
}

// Staff export and import with file names relative to their shell's folder, wherever it is.
TEST_F(ToolFaultsTest, RelativeFileNamesAreTheShellsOwnOutsideTheLaneRoot) {
    const std::string lanereg = BinaryPath("tools/reg/lanereg");
    const std::filesystem::path outside = root / "outside";
    std::filesystem::create_directories(outside);
    ASSERT_EQ(registry.SetValue("SOFTWARE\\X", "A", platform::RegValue::String("1")), 0u);
    std::string output;
    EXPECT_EQ(
        RunShell("cd '" + outside.string() + "' && " + lanereg +
                     " export 'HKLM\\SOFTWARE\\X' saved.reg /y 2>&1 && " + lanereg +
                     " delete 'HKLM\\SOFTWARE\\X' /f 2>&1 && " + lanereg + " import saved.reg 2>&1",
                 output),
        0)
        << output;
    EXPECT_TRUE(std::filesystem::exists(outside / "saved.reg"));
    platform::RegValue value;
    EXPECT_EQ(registry.QueryValue("SOFTWARE\\X", "A", value), 0u) << output;
}

}  // namespace
}  // namespace lane::e2e
