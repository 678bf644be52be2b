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

namespace lane::tools {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSuccess = "The operation completed successfully.\n";
constexpr const char* kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.\n";

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
        std::istringstream in(answers);
        out_.str("");
        err_.str("");
        RegToolContext context{registry_, in, out_, err_, [this](const std::string& name) {
                                   return name[0] == '/' ? name : (root_ / name).string();
                               }};
        return RunRegTool(args, context);
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
    EXPECT_EQ(Err(), "ERROR: Error opening the file. There may be a disk or file system error.\n");
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
