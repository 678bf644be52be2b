// Tests of the batch-line reading and of the command interpreter with a recording runner.
#include "platform/CommandInterpreter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace lane::platform {
namespace {

namespace fs = std::filesystem;

using Strings = std::vector<std::string>;

TEST(BatchLine, CommentsLabelsRemarksAndBlankLinesDoNothing) {
    for (const char* line : {"", "   ", "\t", ": use for 3.xx only", "  :label", "REM x", "rem",
                             "Rem  \"c:\\x.exe\"", "@rem quiet", "call", "call   "}) {
        EXPECT_EQ(ParseBatchLine(line).kind, BatchLine::Kind::Nothing) << "[" << line << "]";
    }
    // "REMOVE" is a program, not a remark.
    const BatchLine remove = ParseBatchLine("REMOVE it");
    EXPECT_EQ(remove.kind, BatchLine::Kind::Command);
    EXPECT_EQ(remove.program, "REMOVE");
    EXPECT_EQ(remove.arguments, Strings{"it"});
}

TEST(BatchLine, QuotedProgramWithArgumentsKeepsWindowsPaths) {
    const BatchLine line = ParseBatchLine(
        "\"c:\\kel lane\\applications\\Moxtel\" -SecurityModuleUpload -InputFile "
        "\"c:\\kel lane\\firmwareupdate\\SCv464.TSK\"");
    EXPECT_EQ(line.kind, BatchLine::Kind::Command);
    EXPECT_FALSE(line.call);
    EXPECT_EQ(line.program, "c:\\kel lane\\applications\\Moxtel");
    EXPECT_EQ(line.arguments, (Strings{"-SecurityModuleUpload", "-InputFile",
                                       "c:\\kel lane\\firmwareupdate\\SCv464.TSK"}));
}

TEST(BatchLine, CallAndBareCommands) {
    const BatchLine call = ParseBatchLine(
        "call \"C:\\FirmwareUpdate\\Moxtel.exe\" -SecurityModuleUpload -InputFile "
        "\"C:\\FirmwareUpdate\\SCv353.tsk\" -AltInputFile \"C:\\FirmwareUpdate\\SCvA353.tsk\"");
    EXPECT_TRUE(call.call);
    EXPECT_EQ(call.program, "C:\\FirmwareUpdate\\Moxtel.exe");
    EXPECT_EQ(call.arguments,
              (Strings{"-SecurityModuleUpload", "-InputFile", "C:\\FirmwareUpdate\\SCv353.tsk",
                       "-AltInputFile", "C:\\FirmwareUpdate\\SCvA353.tsk"}));

    const BatchLine bare = ParseBatchLine("  Tembo  ");
    EXPECT_FALSE(bare.call);
    EXPECT_EQ(bare.program, "Tembo");
    EXPECT_TRUE(bare.arguments.empty());

    const BatchLine upper = ParseBatchLine("CALL tembo.exe");
    EXPECT_TRUE(upper.call);
    EXPECT_EQ(upper.program, "tembo.exe");

    // "callme" is a program of its own.
    EXPECT_EQ(ParseBatchLine("callme").program, "callme");
}

TEST(BatchLine, ArgumentsFollowTheRunTimeLibraryRules) {
    const BatchLine line =
        ParseBatchLine("p a\"b c\"d \"\" \\\\server\\x \"e\\\"f\" \"g\\\\\" h\\\\\\\"i \"open");
    EXPECT_EQ(line.arguments,
              (Strings{"ab cd", "", "\\\\server\\x", "e\"f", "g\\", "h\\\"i", "open"}));
}

TEST(BatchLine, LinesSplitAtCrLfAndLf) {
    EXPECT_EQ(SplitBatchLines("a\r\n\r\nb\nc"), (Strings{"a", "", "b", "c"}));
    EXPECT_EQ(SplitBatchLines("Tembo\r\n"), Strings{"Tembo"});
    EXPECT_TRUE(SplitBatchLines("").empty());
}

// Records the programs it is asked to run; a program named in `failing` cannot be started.
class RecordingRunner final : public ProgramRunner {
  public:
    std::uint32_t Run(const std::string& hostProgram, const std::vector<std::string>& arguments,
                      int& exitCode) override {
        std::string entry = hostProgram;
        for (const auto& argument : arguments) {
            entry += "|" + argument;
        }
        runs.push_back(entry);
        exitCode = static_cast<int>(runs.size());
        return hostProgram.find("broken") != std::string::npos ? 5u : 0u;
    }
    Strings runs;
};

class CommandInterpreterTest : public ::testing::Test {
  protected:
    CommandInterpreterTest()
        : base_(fs::temp_directory_path() / ("lane-cmd-" + std::to_string(std::random_device{}()))),
          saved_(fs::current_path()) {
        fs::create_directories(base_ / "c" / "Kel Lane" / "FirmwareUpdate");
        base_ = fs::canonical(base_);
        paths_ = std::make_unique<LanePaths>(base_.string());
        fs::current_path(base_ / "c" / "Kel Lane" / "FirmwareUpdate");
    }
    ~CommandInterpreterTest() override {
        fs::current_path(saved_);
        std::error_code ignored;
        fs::remove_all(base_, ignored);
    }

    void Write(const std::string& relative, const std::string& text) {
        fs::create_directories((base_ / relative).parent_path());
        std::ofstream(base_ / relative, std::ios::binary) << text;
    }
    std::string Host(const std::string& relative) const { return (base_ / relative).string(); }

    std::uint32_t Run(const std::string& command, int& exitCode) {
        CommandInterpreter interpreter(
            *paths_, runner_, [this](const std::string& line) { errors_.push_back(line); });
        return interpreter.Run(command, exitCode);
    }

    fs::path base_;
    fs::path saved_;
    std::unique_ptr<LanePaths> paths_;
    RecordingRunner runner_;
    Strings errors_;
};

TEST_F(CommandInterpreterTest, RunsEachLineInTurnFindingProgramsWithOrWithoutExe) {
    Write("c/Kel Lane/FirmwareUpdate/Tembo.exe", "x");
    Write("c/Kel Lane/Applications/moxtel.exe", "x");
    Write(
        "c/Kel Lane/FirmwareUpdate/UpdateProcess.bat",
        "Tembo\r\n\"c:\\kel lane\\applications\\Moxtel\" -SecurityModuleUpload -InputFile "
        "\"c:\\kel lane\\firmwareupdate\\SCv464.TSK\"\r\n: note\r\nREM note\r\n\r\ntembo.EXE\r\n");
    int exitCode = -1;
    ASSERT_EQ(Run("call \"c:\\kel lane\\firmwareupdate\\UpdateProcess.bat\"", exitCode), 0u);
    const std::string tembo = Host("c/Kel Lane/FirmwareUpdate/Tembo.exe");
    EXPECT_EQ(runner_.runs,
              (Strings{tembo,
                       Host("c/Kel Lane/Applications/moxtel.exe") +
                           "|-SecurityModuleUpload|-InputFile|c:\\kel lane\\firmwareupdate\\"
                           "SCv464.TSK",
                       tembo}));
    EXPECT_EQ(exitCode, 3);  // the last program's
    EXPECT_TRUE(errors_.empty());
}

TEST_F(CommandInterpreterTest, AMissingProgramIsReportedAndTheBatchGoesOn) {
    Write("c/Kel Lane/FirmwareUpdate/Moxtel.exe", "x");
    Write("c/Kel Lane/FirmwareUpdate/go.bat",
          "call \"C:\\FirmwareUpdate\\tembo.exe\"\r\ncall Moxtel.exe -x\r\nbroken\r\n");
    Write("c/Kel Lane/FirmwareUpdate/broken", "x");
    int exitCode = 0;
    ASSERT_EQ(Run("call go.bat", exitCode), 0u);
    EXPECT_EQ(runner_.runs, (Strings{Host("c/Kel Lane/FirmwareUpdate/Moxtel.exe") + "|-x",
                                     Host("c/Kel Lane/FirmwareUpdate/broken")}));
    ASSERT_EQ(errors_.size(), 2u);
    EXPECT_EQ(errors_[0],
              "'C:\\FirmwareUpdate\\tembo.exe' is not recognized as an internal or external "
              "command, operable program or batch file.");
    EXPECT_EQ(errors_[1], "Access is denied.");
    EXPECT_EQ(exitCode, 1);  // the program that could not start
}

TEST_F(CommandInterpreterTest, BatchFilesNestWithCallAndHandOverWithout) {
    Write("c/Kel Lane/FirmwareUpdate/a.exe", "x");
    Write("c/Kel Lane/FirmwareUpdate/b.exe", "x");
    Write("c/Kel Lane/FirmwareUpdate/inner.bat", "a\r\n");
    Write("c/Kel Lane/FirmwareUpdate/outer.bat", "call inner.bat\r\nb\r\ninner.bat\r\nb\r\n");
    int exitCode = 0;
    ASSERT_EQ(Run("call outer.bat", exitCode), 0u);
    const std::string a = Host("c/Kel Lane/FirmwareUpdate/a.exe");
    const std::string b = Host("c/Kel Lane/FirmwareUpdate/b.exe");
    EXPECT_EQ(runner_.runs, (Strings{a, b, a}));  // the last "b" never runs

    // A batch file that calls itself stops at the nesting limit instead of running forever.
    Write("c/Kel Lane/FirmwareUpdate/self.bat", "call self.bat\r\n");
    ASSERT_EQ(Run("call self.bat", exitCode), 0u);
    EXPECT_EQ(exitCode, 1);
    EXPECT_FALSE(errors_.empty());
}

TEST_F(CommandInterpreterTest, AMissingBatchFileIsNotRecognised) {
    int exitCode = 0;
    ASSERT_EQ(Run("call \"c:\\kel lane\\firmwareupdate\\UpdateProcess.bat\"", exitCode), 0u);
    EXPECT_EQ(exitCode, 9009);
    EXPECT_TRUE(runner_.runs.empty());
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_NE(errors_[0].find("is not recognized"), std::string::npos);
}

TEST_F(CommandInterpreterTest, AFolderIsNotAProgram) {
    fs::create_directories(base_ / "c/Kel Lane/FirmwareUpdate/Tembo");
    Write("c/Kel Lane/FirmwareUpdate/Tembo.exe", "x");
    int exitCode = 0;
    ASSERT_EQ(Run("Tembo", exitCode), 0u);
    EXPECT_EQ(runner_.runs, Strings{Host("c/Kel Lane/FirmwareUpdate/Tembo.exe")});
}

// A stop ends the program that runs (asked, then killed when it takes too long) and no later line
// of the batch starts; both report the stop.
TEST_F(CommandInterpreterTest, AStopEndsTheRunningProgramAndTheBatch) {
    ManualResetEvent stop;
    stop.Set();
    Strings output;
    ChildProgramRunner runner([&](const std::string& line) { output.push_back(line); }, &stop);
    int exitCode = 0;
    // Without the stop this would take half a minute.
    EXPECT_EQ(runner.Run("/bin/sleep", {"30"}, exitCode), kErrorOperationAborted);

    class StoppingRunner final : public ProgramRunner {
      public:
        explicit StoppingRunner(ManualResetEvent& stop) : stop_(stop) {}
        std::uint32_t Run(const std::string& hostProgram, const std::vector<std::string>&,
                          int&) override {
            runs.push_back(hostProgram);
            stop_.Set();  // the stop comes while the first program runs
            return kErrorOperationAborted;
        }
        Strings runs;

      private:
        ManualResetEvent& stop_;
    };
    stop.Reset();
    StoppingRunner stopping(stop);
    Write("c/Kel Lane/FirmwareUpdate/a.exe", "x");
    Write("c/Kel Lane/FirmwareUpdate/b.exe", "x");
    Write("c/Kel Lane/FirmwareUpdate/go.bat", "a\r\nb\r\n");
    CommandInterpreter interpreter(
        *paths_, stopping, [this](const std::string& line) { errors_.push_back(line); }, &stop);
    EXPECT_EQ(interpreter.Run("call go.bat", exitCode), kErrorOperationAborted);
    EXPECT_EQ(stopping.runs, Strings{Host("c/Kel Lane/FirmwareUpdate/a.exe")});
    EXPECT_TRUE(errors_.empty());
}

}  // namespace
}  // namespace lane::platform
