// Tests of lanereg: reg.exe's texts and exit codes on a hive in a temporary lane root.
#include "tools/reg/RegTool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/LanePath.h"
#include "platform/Process.h"
#include "platform/RegText.h"

namespace lane::tools {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSuccess = "The operation completed successfully.\n";
constexpr const char* kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.\n";
constexpr const char* kFileError =
    "ERROR: Error opening the file. There may be a disk or file system error.\n";

// A stream buffer that takes nothing, as standard output on a full disk.
class RefusingBuffer : public std::streambuf {
  protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
};

class RegToolTest : public ::testing::Test {
  protected:
    RegToolTest()
        : root_(fs::temp_directory_path() /
                ("lane-regtool-" + std::to_string(std::random_device{}()))),
          registry_(platform::Registry::DefaultHivePath(platform::LanePaths(root_.string()))) {
        fs::create_directories(root_);
    }
    ~RegToolTest() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // Runs one command line with `answers` on standard input; keeps what it printed.
    int Run(const std::vector<std::string>& args, const std::string& answers = "") {
        return RunInto(out_, args, answers);
    }
    int RunInto(std::ostream& out, const std::vector<std::string>& args,
                const std::string& answers = "") {
        std::istringstream in(answers);
        out_.str("");
        err_.str("");
        RegToolContext context{registry_, in, out, err_, [this](const std::string& name) {
                                   return name[0] == '/' ? name : (root_ / name).string();
                               }};
        return RunRegTool(args, context);
    }
    // Runs the lanereg program with files no larger than `limitBlocks` blocks (ulimit -f), as
    // on a disk that fills up; returns its exit code and keeps its merged output in `output`.
    int RunProgramWithFileLimit(int limitBlocks, const std::vector<std::string>& args,
                                std::string& output) {
        std::vector<std::string> shellArgs = {
            "-c", "trap '' XFSZ; ulimit -f " + std::to_string(limitBlocks) + "; exec \"$@\"", "sh",
            std::string(LANE_BINARY_DIR) + "/tools/reg/lanereg"};
        shellArgs.insert(shellArgs.end(), args.begin(), args.end());
        platform::ChildProcess child;
        EXPECT_EQ(child.Start("/bin/sh", shellArgs, {{"LANE_ROOT", root_.string()}}, true), 0u);
        output.clear();
        std::string line;
        while (child.ReadLine(line, 20000) == 0) {
            output += line + "\n";
        }
        platform::ProcessExit exit;
        EXPECT_EQ(child.Wait(exit), 0u);
        EXPECT_FALSE(exit.signalled);
        return exit.code;
    }
    std::string Out() const { return out_.str(); }
    std::string Err() const { return err_.str(); }
    std::string FileText(const std::string& name) const {
        std::ifstream in(root_ / name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path root_;
    platform::Registry registry_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(RegToolTest, AddAndQueryAStringAndADword) {
    const std::string lane = "HKLM\\SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane";
    EXPECT_EQ(
        Run({"add", lane, "/v", "SecurityModuleType", "/t", "REG_SZ", "/d", "USB_SECURITY_MODULE"}),
        0);
    EXPECT_EQ(Out(), kSuccess);
    EXPECT_EQ(Run({"ADD", lane, "/V", "Count", "/T", "reg_dword", "/D", "10"}), 0);
    EXPECT_EQ(Run({"query", lane, "/v", "securitymoduletype"}), 0);
    EXPECT_EQ(Out(),
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane\n"
              "    SecurityModuleType    REG_SZ    USB_SECURITY_MODULE\n\n");
    EXPECT_EQ(Run({"query", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane"}),
              0);
    EXPECT_EQ(Out(),
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane\n"
              "    SecurityModuleType    REG_SZ    USB_SECURITY_MODULE\n"
              "    Count    REG_DWORD    0xa\n");
}

TEST_F(RegToolTest, QueryListsSubkeysAndSearchesWithS) {
    ASSERT_EQ(Run({"add", "HKLM\\SOFTWARE\\Quarnel\\Tavrik", "/v", "Port", "/d", "7"}), 0);
    ASSERT_EQ(Run({"add", "HKLM\\SOFTWARE\\Quarnel\\Tavrik\\Values"}), 0);
    EXPECT_EQ(Run({"query", "hklm\\software\\quarnel\\tavrik"}), 0);
    EXPECT_EQ(Out(),
              "\nHKEY_LOCAL_MACHINE\\software\\quarnel\\tavrik\n"
              "    Port    REG_SZ    7\n"
              "\nHKEY_LOCAL_MACHINE\\software\\quarnel\\tavrik\\Values\n");
    EXPECT_EQ(Run({"query", "HKLM\\SOFTWARE\\Quarnel", "/s"}), 0);
    EXPECT_EQ(Out(),
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\n"
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\\Tavrik\n"
              "    Port    REG_SZ    7\n"
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\\Tavrik\\Values\n"
              "\nEnd of search: 3 match(es) found.\n");
}

TEST_F(RegToolTest, MissingKeysAndValuesGiveTheErrorAndExitOne) {
    EXPECT_EQ(Run({"query", "HKLM\\SOFTWARE\\None"}), 1);
    EXPECT_EQ(Err(), kNotFound);
    ASSERT_EQ(Run({"add", "HKLM\\SOFTWARE\\X"}), 0);
    EXPECT_EQ(Run({"query", "HKLM\\SOFTWARE\\X", "/v", "None"}), 1);
    EXPECT_EQ(Err(), kNotFound);
    EXPECT_EQ(Run({"delete", "HKLM\\SOFTWARE\\X", "/v", "None", "/f"}), 1);
    EXPECT_EQ(Err(), kNotFound);
    EXPECT_EQ(Run({"delete", "HKLM\\SOFTWARE\\None", "/f"}), 1);
    EXPECT_EQ(Err(), kNotFound);
    EXPECT_EQ(Run({"export", "HKLM\\SOFTWARE\\None", "x.reg"}), 1);
    EXPECT_EQ(Err(), kNotFound);
}

TEST_F(RegToolTest, OverwritingAsksUnlessForced) {
    const std::string key = "HKLM\\SOFTWARE\\X";
    ASSERT_EQ(Run({"add", key, "/v", "A", "/d", "1"}), 0);
    EXPECT_EQ(Run({"add", key, "/v", "A", "/d", "2"}, "n\n"), 1);
    EXPECT_EQ(Out(),
              "Value A exists, overwrite (Yes/No)? The operation was canceled by the user.\n");
    EXPECT_EQ(Run({"add", key, "/v", "A", "/d", "3"}), 1);  // no answer at all is No
    EXPECT_EQ(Run({"add", key, "/v", "A", "/d", "4"}, "yes\n"), 0);
    EXPECT_EQ(Run({"add", key, "/v", "A", "/d", "5", "/f"}), 0);
    EXPECT_EQ(Out(), kSuccess);
    platform::RegValue value;
    ASSERT_EQ(registry_.QueryValue("SOFTWARE\\X", "A", value), 0u);
    EXPECT_EQ(value.text, "5");
}

TEST_F(RegToolTest, DeleteRemovesValuesAllValuesAndKeys) {
    const std::string key = "HKLM\\SOFTWARE\\X";
    ASSERT_EQ(Run({"add", key, "/v", "A", "/d", "1"}), 0);
    ASSERT_EQ(Run({"add", key, "/v", "B", "/d", "2"}), 0);
    ASSERT_EQ(Run({"add", key, "/ve", "/d", "default"}), 0);
    ASSERT_EQ(Run({"add", key + "\\Sub"}), 0);
    EXPECT_EQ(Run({"query", key, "/ve"}), 0);
    EXPECT_EQ(Out(), "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\X\n    (Default)    REG_SZ    default\n\n");
    EXPECT_EQ(Run({"delete", key, "/v", "A"}, "y\n"), 0);
    EXPECT_EQ(Out(), std::string("Delete the registry value A (Yes/No)? ") + kSuccess);
    EXPECT_EQ(Run({"delete", key, "/va", "/f"}), 0);
    std::vector<std::pair<std::string, platform::RegValue>> values;
    ASSERT_EQ(registry_.ReadKey("SOFTWARE\\X", values), 0u);
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(Run({"delete", key}, "n\n"), 1);
    EXPECT_EQ(registry_.OpenKey("SOFTWARE\\X\\Sub"), 0u);
    EXPECT_EQ(Run({"delete", key}, "y\n"), 0);
    EXPECT_EQ(Out(),
              "Permanently delete the registry key HKEY_LOCAL_MACHINE\\SOFTWARE\\X "
              "(Yes/No)? The operation completed successfully.\n");
    EXPECT_EQ(registry_.OpenKey("SOFTWARE\\X"), 2u);
}

TEST_F(RegToolTest, DwordDataIsDecimalOrHexAndIsChecked) {
    const std::string key = "HKLM\\SOFTWARE\\X";
    ASSERT_EQ(Run({"add", key, "/v", "Hex", "/t", "REG_DWORD", "/d", "0xFFFFFFFF"}), 0);
    ASSERT_EQ(Run({"add", key, "/v", "Zero", "/t", "REG_DWORD"}), 0);
    EXPECT_EQ(Run({"add", key, "/v", "Bad", "/t", "REG_DWORD", "/d", "12x"}), 1);
    EXPECT_EQ(Err(), "ERROR: Invalid syntax. Specify valid numeric value for '/d'.\n");
    EXPECT_EQ(Run({"add", key, "/v", "Big", "/t", "REG_DWORD", "/d", "4294967296"}), 1);
    EXPECT_EQ(Run({"add", key, "/v", "E", "/t", "REG_EXPAND_SZ", "/d", "x"}), 1);
    EXPECT_EQ(Run({"query", key}), 0);
    EXPECT_EQ(Out(),
              "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\X\n"
              "    Hex    REG_DWORD    0xffffffff\n"
              "    Zero    REG_DWORD    0x0\n");
}

TEST_F(RegToolTest, ExportWritesTheSubtreeAndImportReadsItBack) {
    ASSERT_EQ(Run({"add", "HKLM\\SOFTWARE\\Quarnel\\Tavrik", "/v", "LoggingState", "/t",
                   "REG_DWORD", "/d", "2"}),
              0);
    ASSERT_EQ(Run({"add", "HKLM\\SOFTWARE\\Quarnel\\Tavrik\\Values", "/v", "Path", "/d",
                   "c:\\tavrik.log"}),
              0);
    EXPECT_EQ(Run({"export", "hklm\\software\\QUARNEL\\tavrik", "tavrik.reg"}), 0);
    const std::string exported =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\\Tavrik]\r\n"
        "\"LoggingState\"=dword:00000002\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\\Tavrik\\Values]\r\n"
        "\"Path\"=\"c:\\\\tavrik.log\"\r\n\r\n";
    EXPECT_EQ(FileText("tavrik.reg"), exported);
    EXPECT_EQ(Run({"export", "HKLM\\SOFTWARE\\Quarnel\\Tavrik", "tavrik.reg"}, "n\n"), 1);
    EXPECT_EQ(Run({"export", "HKLM\\SOFTWARE\\Quarnel\\Tavrik", "tavrik.reg", "/y"}), 0);

    ASSERT_EQ(Run({"delete", "HKLM\\SOFTWARE\\Quarnel", "/f"}), 0);
    EXPECT_EQ(Run({"import", "tavrik.reg"}), 0);
    EXPECT_EQ(Out(), kSuccess);
    EXPECT_EQ(Run({"export", "HKLM\\SOFTWARE\\Quarnel\\Tavrik", "again.reg"}), 0);
    EXPECT_EQ(FileText("again.reg"), exported);
}

TEST_F(RegToolTest, ImportAppliesDeletionsAndRefusesOtherFiles) {
    std::ofstream(root_ / "change.reg")
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n\"keep\"=\"1\"\n\"drop\"=\"2\"\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n\"drop\"=-\n"
           "\"other\"=hex(7):41,00,00,00\n";
    EXPECT_EQ(Run({"import", (root_ / "change.reg").string()}), 0);
    EXPECT_EQ(Err(), "Note: 1 value(s) of types other than REG_SZ and REG_DWORD were left out.\n");
    EXPECT_EQ(Run({"query", "HKLM\\SOFTWARE\\A"}), 0);
    EXPECT_EQ(Out(), "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\A\n    keep    REG_SZ    1\n");
    std::ofstream(root_ / "text.txt") << "just text\n";
    EXPECT_EQ(Run({"import", "text.txt"}), 1);
    EXPECT_EQ(Err(), "ERROR: The specified file is not a registry script.\n");
    EXPECT_EQ(Run({"import", "missing.reg"}), 1);
    EXPECT_EQ(Err(), std::string(kFileError) + (root_ / "missing.reg").string() +
                         ": The system cannot find the file specified. (error 2)\n");
}

TEST_F(RegToolTest, FilesThatAreNotRegularFilesAreRefusedWithTheReason) {
    ASSERT_EQ(Run({"add", "HKLM\\SOFTWARE\\X", "/v", "A", "/d", "1"}), 0);
    const std::string folder = root_.string();
    const std::string inFolder = ": An operation is not supported on a directory. (error 336)\n";
    EXPECT_EQ(Run({"import", folder}), 1);
    EXPECT_EQ(Err(), kFileError + folder + inFolder);
    EXPECT_EQ(Run({"export", "HKLM\\SOFTWARE\\X", folder, "/y"}), 1);
    EXPECT_EQ(Err(), kFileError + folder + inFolder);
    EXPECT_TRUE(fs::is_directory(root_));
    // A device is not replaced by a file of the same name (this test may run as root).
    EXPECT_EQ(Run({"export", "HKLM\\SOFTWARE\\X", "/dev/null", "/y"}), 1);
    EXPECT_EQ(Err(), std::string(kFileError) + "/dev/null: not a regular file\n");
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(RegToolTest, ResultsThatCannotBeWrittenFailTheCommand) {
    RefusingBuffer refusing;
    std::ostream full(&refusing);
    EXPECT_EQ(RunInto(full, {"add", "HKLM\\SOFTWARE\\X", "/v", "A", "/d", "1"}), 1);
    EXPECT_EQ(Err(), "ERROR: The output could not be written.\n");
    EXPECT_EQ(RunInto(full, {"query", "HKLM\\SOFTWARE\\X", "/s"}), 1);
    EXPECT_EQ(Err(), "ERROR: The output could not be written.\n");
    EXPECT_EQ(RunInto(full, {"query", "HKLM\\SOFTWARE\\None"}), 1);
    EXPECT_EQ(Err(), std::string(kNotFound) + "ERROR: The output could not be written.\n");
}

// A write cut short (here by a file size limit, as a full disk cuts it) leaves the file it was to
// replace as it was, leaves no partial file behind, and names the system's reason.
TEST_F(RegToolTest, AWriteCutShortLeavesTheOldFilesWholeAndSaysWhy) {
    platform::RegBatch batch;
    for (int i = 0; i < 400; ++i) {
        batch.SetString("SOFTWARE\\Big", "Value" + std::to_string(i), std::string(40, 'x'));
    }
    ASSERT_EQ(registry_.Apply(batch), 0u);
    const std::string hive = FileText("registry/HKEY_LOCAL_MACHINE.reg");
    std::ofstream(root_ / "old.reg") << "old content";
    const auto filesBefore = std::distance(fs::directory_iterator(root_), {});

    std::string output;
    EXPECT_EQ(RunProgramWithFileLimit(
                  4, {"export", "HKLM\\SOFTWARE\\Big", (root_ / "old.reg").string(), "/y"}, output),
              1);
    EXPECT_EQ(output, kFileError + (root_ / "old.reg").string() +
                          ": The file size exceeds the limit allowed and cannot be saved. "
                          "(error 223)\n");
    EXPECT_EQ(FileText("old.reg"), "old content");
    EXPECT_EQ(std::distance(fs::directory_iterator(root_), {}), filesBefore);

    EXPECT_EQ(RunProgramWithFileLimit(4, {"add", "HKLM\\SOFTWARE\\Big", "/v", "New", "/f"}, output),
              1);
    EXPECT_EQ(output, "ERROR: The file size exceeds the limit allowed and cannot be saved.\n");
    EXPECT_EQ(FileText("registry/HKEY_LOCAL_MACHINE.reg"), hive);
}

TEST_F(RegToolTest, UnreadableLinesOfTheHiveAreKeptAsideWhenItIsRewritten) {
    fs::create_directories(root_ / "registry");
    const std::string damaged =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n"
        "\"Good\"=\"1\"\r\n"
        "\"Typo\"=dwrod:1\r\n"
        "garbage line\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Other]\r\n"
        "\"Elsewhere\"=\"2\"\r\n";
    std::ofstream(root_ / "registry/HKEY_LOCAL_MACHINE.reg", std::ios::binary) << damaged;
    const std::string sideFile = (root_ / "registry/HKEY_LOCAL_MACHINE.reg.dropped").string();

    EXPECT_EQ(Run({"query", "HKLM\\SOFTWARE\\X"}), 0);  // reading drops nothing
    EXPECT_EQ(Err(), "");
    EXPECT_EQ(Run({"add", "HKLM\\SOFTWARE\\X", "/v", "New", "/d", "2", "/f"}), 0);
    EXPECT_EQ(Out(), kSuccess);
    EXPECT_EQ(Err(),
              "Warning: 4 line(s) of the hive could not be read and were left out of it; "
              "they are kept in " +
                  sideFile + "\n");
    const std::string kept =
        "; Statements of HKEY_LOCAL_MACHINE.reg that could not be read, left out when it was "
        "rewritten:\r\n"
        "; line 5, in [HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n\"Typo\"=dwrod:1\r\n"
        "; line 6, in [HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\ngarbage line\r\n"
        "; line 8\r\n[HKEY_CURRENT_USER\\Other]\r\n"
        "; line 9\r\n\"Elsewhere\"=\"2\"\r\n"
        "\r\n";
    EXPECT_EQ(FileText("registry/HKEY_LOCAL_MACHINE.reg.dropped"), kept);
    EXPECT_EQ(FileText("registry/HKEY_LOCAL_MACHINE.reg").find("garbage"), std::string::npos);

    // The hive is clean now: the next change keeps nothing more.
    EXPECT_EQ(Run({"add", "HKLM\\SOFTWARE\\X", "/v", "Other", "/d", "3", "/f"}), 0);
    EXPECT_EQ(Err(), "");
    EXPECT_EQ(FileText("registry/HKEY_LOCAL_MACHINE.reg.dropped"), kept);

    // With nowhere to keep them, the lines stay in the hive and the change is refused.
    std::ofstream(root_ / "registry/HKEY_LOCAL_MACHINE.reg", std::ios::binary) << damaged;
    fs::remove(sideFile);
    fs::create_directories(sideFile);
    EXPECT_EQ(Run({"add", "HKLM\\SOFTWARE\\X", "/v", "New", "/d", "2", "/f"}), 1);
    EXPECT_EQ(Err(), "ERROR: Access is denied.\n");
    EXPECT_EQ(FileText("registry/HKEY_LOCAL_MACHINE.reg"), damaged);
}

TEST_F(RegToolTest, BadCommandLinesAreSyntaxErrors) {
    EXPECT_EQ(Run({}), 1);
    EXPECT_EQ(Err(), "ERROR: Invalid syntax.\nType \"LANEREG /?\" for usage.\n");
    EXPECT_EQ(Run({"copy", "HKLM\\A", "HKLM\\B"}), 1);
    EXPECT_EQ(Run({"query"}), 1);
    EXPECT_EQ(Err(), "ERROR: Invalid syntax.\nType \"LANEREG QUERY /?\" for usage.\n");
    EXPECT_EQ(Run({"add", "HKLM\\A", "/v"}), 1);
    EXPECT_EQ(Run({"add", "HKLM\\A", "/v", "x", "/ve"}), 1);
    EXPECT_EQ(Run({"query", "HKLM\\A", "/f"}), 1);
    EXPECT_EQ(Run({"query", "HKCU\\Software"}), 1);
    EXPECT_EQ(Err(), "ERROR: Invalid key name.\nType \"LANEREG QUERY /?\" for usage.\n");
    EXPECT_EQ(Run({"/?"}), 0);
    EXPECT_EQ(Run({"add", "/?"}), 0);
    EXPECT_NE(Out().find("LANEREG ADD"), std::string::npos);
}

TEST_F(RegToolTest, AValueOfAnotherTypeIsNotShownAndQueryingItFails) {
    fs::create_directories(root_ / "registry");
    std::ofstream(root_ / "registry" / "HKEY_LOCAL_MACHINE.reg")
        << "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n"
           "\"Path\"=hex(2):25,00,00,00\n\"Name\"=\"x\"\n";
    EXPECT_EQ(Run({"query", "HKLM\\A"}), 0);
    EXPECT_EQ(Out(), "\nHKEY_LOCAL_MACHINE\\A\n    Name    REG_SZ    x\n");
    EXPECT_EQ(Run({"query", "HKLM\\A", "/v", "path"}), 1);
    EXPECT_EQ(Err(), "ERROR: The data is invalid.\n");
}

TEST_F(RegToolTest, AHiveThatCannotBeReadIsReported) {
    fs::create_directories(root_ / "registry");
    std::ofstream(root_ / "registry" / "HKEY_LOCAL_MACHINE.reg") << "not a hive\n";
    EXPECT_EQ(Run({"query", "HKLM\\SOFTWARE"}), 1);
    EXPECT_EQ(Err(), "ERROR: The data is invalid.\n");
    EXPECT_EQ(Run({"add", "HKLM\\SOFTWARE", "/v", "x", "/d", "1", "/f"}), 1);
    EXPECT_EQ(Err(), "ERROR: The data is invalid.\n");
}

}  // namespace
}  // namespace lane::tools
