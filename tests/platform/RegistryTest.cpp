// Tests of the registry stand-in on a hive file: results, file form, locking and batches.
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Process.h"
#include "platform/RegText.h"
#include "platform/SystemError.h"
#include "tests/platform/PlatformHelper.h"

namespace lane::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTavrik = "SOFTWARE\\Quarnel\\Tavrik";
constexpr const char* kValues = "SOFTWARE\\Quarnel\\Tavrik\\Values";
constexpr int kBoundMs = 10000;  // bound of every wait for something that must happen
constexpr std::int64_t kReadTimeoutMs = 10000;  // bound of the wait for each line of the helper

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

class RegistryTest : public ::testing::Test {
  protected:
    RegistryTest()
        : root_(fs::temp_directory_path() /
                ("lane-registry-" + std::to_string(std::random_device{}()))),
          paths_(root_.string()),
          registry_(Registry::DefaultHivePath(paths_)) {}
    ~RegistryTest() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    std::string Query(const std::string& key, const std::string& name) {
        RegValue value;
        EXPECT_EQ(registry_.QueryValue(key, name, value), kErrorSuccess) << name;
        return value.type == RegValue::Type::Dword ? std::to_string(value.dword) : value.text;
    }

    fs::path root_;
    LanePaths paths_;
    Registry registry_;
};

TEST_F(RegistryTest, TheHiveLiesInTheRegistryFolderOfTheRoot) {
    EXPECT_EQ(registry_.HiveFile(), root_.string() + "/registry/HKEY_LOCAL_MACHINE.reg");
}

TEST_F(RegistryTest, AMissingHiveReadsAsEmptyAndCreatesNothing) {
    RegValue value;
    std::vector<std::pair<std::string, RegValue>> values;
    std::vector<std::string> names;
    EXPECT_EQ(registry_.OpenKey(kTavrik), kErrorFileNotFound);
    EXPECT_EQ(registry_.QueryValue(kTavrik, "LoggingState", value), kErrorFileNotFound);
    EXPECT_EQ(registry_.ReadKey(kTavrik, values), kErrorFileNotFound);
    EXPECT_EQ(registry_.ListSubkeys(kTavrik, names), kErrorFileNotFound);
    EXPECT_EQ(registry_.DeleteValue(kTavrik, "x"), kErrorFileNotFound);
    EXPECT_EQ(registry_.DeleteKey(kTavrik), kErrorFileNotFound);
    EXPECT_EQ(registry_.OpenKey(""), kErrorSuccess);  // HKEY_LOCAL_MACHINE itself
    EXPECT_FALSE(fs::exists(root_ / "registry" / "HKEY_LOCAL_MACHINE.reg"));
}

TEST_F(RegistryTest, TheFirstWriteCreatesTheFolderAndTheHiveInExportForm) {
    ASSERT_EQ(registry_.SetValue(kTavrik, "LoggingState", RegValue::Dword(2)), kErrorSuccess);
    ASSERT_EQ(registry_.SetValue(kTavrik, "TraceFileName", RegValue::String("c:\\tavrikitor.trc")),
              kErrorSuccess);
    EXPECT_EQ(ReadText(registry_.HiveFile()),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel]\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\\Tavrik]\r\n"
              "\"LoggingState\"=dword:00000002\r\n"
              "\"TraceFileName\"=\"c:\\\\tavrikitor.trc\"\r\n"
              "\r\n");
    EXPECT_TRUE(fs::exists(registry_.HiveFile() + ".lock"));
    EXPECT_FALSE(fs::exists(registry_.HiveFile() + ".tmp"));
}

TEST_F(RegistryTest, NamesCompareIgnoringCaseAndKeepTheirFirstSpelling) {
    ASSERT_EQ(registry_.SetValue(kTavrik, "MaxLogSize", RegValue::Dword(40)), kErrorSuccess);
    ASSERT_EQ(registry_.SetValue(kTavrik, "Port", RegValue::String("7")), kErrorSuccess);
    ASSERT_EQ(registry_.SetValue("software\\QUARNEL\\tavrik", "MAXLOGSIZE", RegValue::Dword(64)),
              kErrorSuccess);
    EXPECT_EQ(Query("Software\\Quarnel\\Tavrik", "maxlogsize"), "64");
    std::vector<std::pair<std::string, RegValue>> values;
    ASSERT_EQ(registry_.ReadKey(kTavrik, values), kErrorSuccess);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].first, "MaxLogSize");  // first spelling, first place
    EXPECT_EQ(values[1].first, "Port");
    std::vector<std::string> names;
    ASSERT_EQ(registry_.ListSubkeys("SOFTWARE", names), kErrorSuccess);
    EXPECT_EQ(names, std::vector<std::string>{"Quarnel"});
}

TEST_F(RegistryTest, KeysAreCreatedOpenedAndDeletedWithTheirSubkeys) {
    EXPECT_EQ(registry_.CreateKey(kValues), kErrorSuccess);
    EXPECT_EQ(registry_.OpenKey(kTavrik), kErrorSuccess);
    EXPECT_EQ(registry_.OpenKey(kValues), kErrorSuccess);
    ASSERT_EQ(registry_.SetValue(std::string(kValues) + "\\SecMod\\RedButtonTimes", "0",
                                 RegValue::String("2004-07-03 09:05:00")),
              kErrorSuccess);
    EXPECT_EQ(registry_.DeleteKey(std::string(kValues) + "\\secmod"), kErrorSuccess);
    EXPECT_EQ(registry_.OpenKey(std::string(kValues) + "\\SecMod\\RedButtonTimes"),
              kErrorFileNotFound);
    EXPECT_EQ(registry_.OpenKey(kValues), kErrorSuccess);
    EXPECT_EQ(registry_.DeleteKey(std::string(kValues) + "\\SecMod"), kErrorFileNotFound);
    EXPECT_EQ(registry_.DeleteKey(""), kErrorAccessDenied);
}

TEST_F(RegistryTest, ValuesAreDeletedAndAMissingOneIsNotFound) {
    ASSERT_EQ(registry_.SetValue(kTavrik, "A", RegValue::String("1")), kErrorSuccess);
    ASSERT_EQ(registry_.SetValue(kTavrik, "B", RegValue::String("2")), kErrorSuccess);
    EXPECT_EQ(registry_.DeleteValue(kTavrik, "a"), kErrorSuccess);
    EXPECT_EQ(registry_.DeleteValue(kTavrik, "a"), kErrorFileNotFound);
    RegValue value;
    EXPECT_EQ(registry_.QueryValue(kTavrik, "A", value), kErrorFileNotFound);
    EXPECT_EQ(Query(kTavrik, "B"), "2");
}

TEST_F(RegistryTest, LongValuesAreStoredWholeForTheCallerToJudge) {
    const std::string longText(1000, 'L');
    ASSERT_EQ(registry_.SetValue(kTavrik, "TraceFileName", RegValue::String(longText)),
              kErrorSuccess);
    EXPECT_EQ(Query(kTavrik, "TraceFileName"), longText);
}

TEST_F(RegistryTest, WhatSetValueWroteReadsBackIdentically) {
    const std::pair<const char*, RegValue> written[] = {
        {"Text", RegValue::String("Cassette Removed")},
        {"Empty", RegValue::String("")},
        {"Escapes", RegValue::String("c:\\dir\\ \"quoted\"")},
        {"Lines", RegValue::String("one\r\ntwo")},
        {"Unicode", RegValue::String("\xE2\x82\xAC 1.00")},
        {"Zero", RegValue::Dword(0)},
        {"Max", RegValue::Dword(0xFFFFFFFFu)},
        {"", RegValue::String("default value")},
    };
    for (const auto& [name, value] : written) {
        ASSERT_EQ(registry_.SetValue(kValues, name, value), kErrorSuccess);
    }
    const std::string hive = ReadText(registry_.HiveFile());
    std::vector<std::pair<std::string, RegValue>> values;
    ASSERT_EQ(registry_.ReadKey(kValues, values), kErrorSuccess);
    ASSERT_EQ(values.size(), std::size(written));
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(values[i].first, written[i].first);
        EXPECT_EQ(values[i].second.type, written[i].second.type);
        EXPECT_EQ(values[i].second.text, written[i].second.text);
        EXPECT_EQ(values[i].second.dword, written[i].second.dword);
    }
    RegHive reread;
    ASSERT_EQ(ParseRegHive(hive, reread), RegTextStatus::Ok);
    EXPECT_EQ(WriteRegText(reread), hive);
}

TEST_F(RegistryTest, ABatchIsOneWriteAndAnUnchangedHiveIsNotRewritten) {
    RegBatch batch;
    for (int i = 0; i < 300; ++i) {
        batch.SetString(kValues, "Value" + std::to_string(i), "text " + std::to_string(i));
    }
    batch.SetDword(kTavrik, "LoggingState", 0);
    batch.DeleteValue(kTavrik, "Missing");  // nothing to delete is no failure in a batch
    batch.DeleteKey("SOFTWARE\\Missing");
    ASSERT_EQ(registry_.Apply(batch), kErrorSuccess);
    std::vector<std::pair<std::string, RegValue>> values;
    ASSERT_EQ(registry_.ReadKey(kValues, values), kErrorSuccess);
    ASSERT_EQ(values.size(), 300u);
    EXPECT_EQ(values[299].first, "Value299");
    EXPECT_EQ(values[299].second.text, "text 299");

    // A second name for the hive's file: a rewrite renames a new file in under the hive's name,
    // and the two names then stop being the same file.
    const std::string seen = registry_.HiveFile() + ".seen";
    fs::create_hard_link(registry_.HiveFile(), seen);
    ASSERT_EQ(registry_.Apply(batch), kErrorSuccess);  // the same values again
    EXPECT_EQ(registry_.CreateKey(kTavrik), kErrorSuccess);
    EXPECT_TRUE(RegBatch().Empty());
    EXPECT_EQ(registry_.Apply(RegBatch()), kErrorSuccess);
    EXPECT_TRUE(fs::equivalent(registry_.HiveFile(), seen));
    ASSERT_EQ(registry_.SetValue(kTavrik, "LoggingState", RegValue::Dword(1)), kErrorSuccess);
    EXPECT_FALSE(fs::equivalent(registry_.HiveFile(), seen));  // a real change is rewritten
}

TEST_F(RegistryTest, NamesWithLineEndsAreRefusedAndNothingIsWritten) {
    RegBatch batch;
    batch.SetString(kTavrik, "Good", "1");
    batch.SetString(kTavrik, "Bad\nName", "2");
    EXPECT_EQ(registry_.Apply(batch), kErrorInvalidParameter);
    EXPECT_EQ(registry_.CreateKey("SOFTWARE\\Bad\r\nKey"), kErrorInvalidParameter);
    EXPECT_FALSE(fs::exists(registry_.HiveFile()));
}

TEST_F(RegistryTest, AHandEditedHiveIsReadAndItsOtherTypesSurviveAWrite) {
    WriteText(registry_.HiveFile(),
              "Windows Registry Editor Version 5.00\n"
              "; edited by hand\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane]\n"
              "\"SecurityModuleType\" = \"USB_SECURITY_MODULE\"\n"
              "\"Path\"=hex(2):25,00,00,00\n");
    const std::string lane = "SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane";
    EXPECT_EQ(Query(lane, "SecurityModuleType"), "USB_SECURITY_MODULE");
    RegValue value;
    EXPECT_EQ(registry_.QueryValue(lane, "Path", value), 13u);  // a type the stand-in cannot read
    std::vector<std::pair<std::string, RegValue>> values;
    ASSERT_EQ(registry_.ReadKey(lane, values), kErrorSuccess);
    EXPECT_EQ(values.size(), 1u);
    ASSERT_EQ(registry_.SetValue(lane, "Other", RegValue::Dword(1)), kErrorSuccess);
    EXPECT_NE(ReadText(registry_.HiveFile()).find("\"Path\"=hex(2):25,00,00,00\r\n"),
              std::string::npos);
}

TEST_F(RegistryTest, AnUnreadableHiveGivesThirteenAndIsNeverOverwritten) {
    const std::string garbage = "this is not a registry file\n";
    WriteText(registry_.HiveFile(), garbage);
    RegValue value;
    EXPECT_EQ(registry_.OpenKey(kTavrik), 13u);
    EXPECT_EQ(registry_.QueryValue(kTavrik, "x", value), 13u);
    EXPECT_EQ(registry_.SetValue(kTavrik, "x", RegValue::Dword(1)), 13u);
    EXPECT_EQ(ReadText(registry_.HiveFile()), garbage);
    fs::remove(registry_.HiveFile());
    fs::create_directories(registry_.HiveFile());  // a folder where the hive should be
    EXPECT_EQ(registry_.OpenKey(kTavrik), 13u);
}

TEST_F(RegistryTest, AHiveThatCannotBeWrittenGivesFive) {
    WriteText(root_.string() + "/registry", "a file where the folder should be");
    EXPECT_EQ(registry_.SetValue(kTavrik, "x", RegValue::Dword(1)), kErrorAccessDenied);
    Registry nested(root_.string() + "/registry/sub/HKEY_LOCAL_MACHINE.reg");
    EXPECT_EQ(nested.CreateKey(kTavrik), kErrorAccessDenied);
}

// Two processes writing at once lose nothing: each change is a read-modify-write under the lock.
TEST_F(RegistryTest, WritersInTwoProcessesLoseNoChange) {
    constexpr int kWritesEach = 40;
    ASSERT_EQ(registry_.CreateKey(kValues), kErrorSuccess);
    ChildProcess other;
    ASSERT_EQ(other.Start(testing::HelperProgram(LANE_BINARY_DIR),
                          {testing::kSetValues, registry_.HiveFile(), kValues, "Child",
                           std::to_string(kWritesEach)},
                          {}),
              kErrorSuccess);
    std::string line;
    ASSERT_EQ(other.ReadLine(line, kReadTimeoutMs), kErrorSuccess);
    ASSERT_EQ(line, testing::kWritingLine);  // its writes begin now, and ours with them
    bool ok = true;
    for (int i = 0; i < kWritesEach; ++i) {
        ok = ok && registry_.SetValue(kValues, "Parent" + std::to_string(i),
                                      RegValue::Dword(static_cast<std::uint32_t>(i))) == 0;
    }
    ProcessExit exit;
    ASSERT_EQ(other.Wait(exit), kErrorSuccess);
    EXPECT_TRUE(ok);
    EXPECT_FALSE(exit.signalled);
    EXPECT_EQ(exit.code, 0);
    std::vector<std::pair<std::string, RegValue>> values;
    ASSERT_EQ(registry_.ReadKey(kValues, values), kErrorSuccess);
    EXPECT_EQ(values.size(), 2u * kWritesEach);
}

// One flock of /proc/locks: "<n>: [->] FLOCK ADVISORY WRITE <pid> <major>:<minor>:<inode> ...";
// "->" marks a process waiting for the lock.
struct FlockLine {
    bool waiting = false;
    std::string pid;
    std::string file;  // "<major>:<minor>:<inode>"
};

bool ParseFlockLine(const std::string& text, FlockLine& lock) {
    std::istringstream in(text);
    std::string number;
    std::string kind;
    std::string advisory;
    std::string mode;
    if (!(in >> number >> kind)) {
        return false;
    }
    lock.waiting = kind == "->";
    if (lock.waiting && !(in >> kind)) {
        return false;
    }
    return kind == "FLOCK" && (in >> advisory >> mode >> lock.pid >> lock.file);
}

// True once the kernel lists someone waiting for a flock on a file that process `holderPid`
// holds a flock on.
bool SomeoneWaitsForAFlockHeldBy(const std::string& holderPid) {
    std::ifstream locks("/proc/locks");
    std::vector<FlockLine> flocks;
    std::string text;
    FlockLine lock;
    while (std::getline(locks, text)) {
        if (ParseFlockLine(text, lock)) {
            flocks.push_back(lock);
        }
    }
    std::set<std::string> held;
    for (const FlockLine& flock : flocks) {
        if (!flock.waiting && flock.pid == holderPid) {
            held.insert(flock.file);
        }
    }
    for (const FlockLine& flock : flocks) {
        if (flock.waiting && held.count(flock.file) != 0) {
            return true;
        }
    }
    return false;
}

TEST_F(RegistryTest, AWriterWaitsWhileAnotherHoldsTheLock) {
    // The kernel's lock table shows the writer waiting.
    ASSERT_TRUE(std::ifstream("/proc/locks"));
    ASSERT_EQ(registry_.SetValue(kTavrik, "Step", RegValue::Dword(1)), kErrorSuccess);
    // A reader in another process, in the middle of its read.
    ChildProcess reader;
    ASSERT_EQ(reader.Start(testing::HelperProgram(LANE_BINARY_DIR),
                           {testing::kHoldRegistryLock, registry_.HiveFile()}, {}),
              kErrorSuccess);
    std::string line;
    ASSERT_EQ(reader.ReadLine(line, kReadTimeoutMs), kErrorSuccess);
    const std::string heldPrefix = std::string(testing::kHeldPrefix) + " ";
    ASSERT_EQ(line.rfind(heldPrefix, 0), 0u) << line;
    const std::string readerPid = line.substr(heldPrefix.size());
    ASSERT_FALSE(readerPid.empty()) << line;
    EXPECT_FALSE(SomeoneWaitsForAFlockHeldBy(readerPid));  // not before a writer comes
    std::atomic<bool> written{false};
    std::thread writer([&] {
        EXPECT_EQ(registry_.SetValue(kTavrik, "Step", RegValue::Dword(2)), kErrorSuccess);
        written = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBoundMs);
    while (!SomeoneWaitsForAFlockHeldBy(readerPid) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(SomeoneWaitsForAFlockHeldBy(readerPid));
    EXPECT_FALSE(written);
    ASSERT_EQ(reader.Kill(), kErrorSuccess);  // the reader's lock ends with it
    ProcessExit exit;
    ASSERT_EQ(reader.Wait(exit), kErrorSuccess);
    writer.join();
    EXPECT_TRUE(written);
    RegValue value;
    EXPECT_EQ(registry_.QueryValue(kTavrik, "Step", value), kErrorSuccess);
    EXPECT_EQ(value.dword, 2u);
}

}  // namespace
}  // namespace lane::platform
