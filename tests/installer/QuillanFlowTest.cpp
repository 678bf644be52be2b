// Tests of Quillan's run: the decision, the log, the folder rules, each failure and its message.
#include "installer/Quillan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "common/FakeClock.h"
#include "common/TimeText.h"
#include "installer/StaleTemporaries.h"
#include "installer/UpdatePackage.h"
#include "tests/installer/FakeModule.h"
#include "tests/installer/InstallerTestSupport.h"
#include "tests/support/TempLaneRoot.h"

namespace lane::quillan {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

TEST(UpdateDecision, VersionBoundaries) {
    EXPECT_EQ(DecideUpdate(999), UpdateKind::SkipCurrent4);
    EXPECT_EQ(DecideUpdate(464), UpdateKind::SkipCurrent4);
    EXPECT_EQ(DecideUpdate(463), UpdateKind::Update4);
    EXPECT_EQ(DecideUpdate(400), UpdateKind::Update4);
    EXPECT_EQ(DecideUpdate(399), UpdateKind::SkipCurrent3);
    EXPECT_EQ(DecideUpdate(353), UpdateKind::SkipCurrent3);
    EXPECT_EQ(DecideUpdate(352), UpdateKind::Update3);
    EXPECT_EQ(DecideUpdate(0), UpdateKind::Update3);
    EXPECT_EQ(SkipMessage(UpdateKind::SkipCurrent4),
              "Skipping the Security Controller Firmware update since the current version is 4.64 "
              "or higher.");
    EXPECT_EQ(SkipMessage(UpdateKind::SkipCurrent3),
              "Skipping the Security Controller Firmware update since the current version is 3.53 "
              "or higher.");
    EXPECT_EQ(SkipMessage(UpdateKind::Update4), "");
}

TEST(InstallerLogLine, StampTextAndNames) {
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 5;
    local.tm_mday = 5;
    local.tm_hour = 13;
    local.tm_min = 4;
    local.tm_sec = 9;
    local.tm_isdst = -1;
    EXPECT_EQ(FormatLogLine(FromLocalTm(local), "Quillan completed."),
              "06/05/24-13:04:09 :- - Quillan completed. \n");
    EXPECT_EQ(LogFileName(7, 'S'),
              "C:\\Software Distribution\\KelLaneSuiteFirmwareRMQuillan7_S.log");
    EXPECT_EQ(LogFileName(0, 'F'),
              "C:\\Software Distribution\\KelLaneSuiteFirmwareRMQuillan0_F.log");
}

// The host file calls, with chosen calls made to fail: "<call> <Windows path>" gives the error.
class FaultyFiles final : public CHostInstallerFiles {
  public:
    using CHostInstallerFiles::CHostInstallerFiles;
    std::uint32_t SetCurrentDirectory(const std::string& path) override {
        return Fault("cd", path, [&] { return CHostInstallerFiles::SetCurrentDirectory(path); });
    }
    std::uint32_t CreateDirectory(const std::string& path) override {
        return Fault("md", path, [&] { return CHostInstallerFiles::CreateDirectory(path); });
    }
    std::uint32_t SetFileAttributesNormal(const std::string& path) override {
        return Fault("attrib", path,
                     [&] { return CHostInstallerFiles::SetFileAttributesNormal(path); });
    }
    std::uint32_t DeleteFile(const std::string& path) override {
        return Fault("del", path, [&] { return CHostInstallerFiles::DeleteFile(path); });
    }
    std::uint32_t CopyFile(const std::string& from, const std::string& to) override {
        return Fault("copy", to, [&] { return CHostInstallerFiles::CopyFile(from, to); });
    }
    std::uint32_t WriteFile(const std::string& path, std::string_view bytes) override {
        return Fault("write", path, [&] { return CHostInstallerFiles::WriteFile(path, bytes); });
    }

    std::map<std::string, std::uint32_t> faults;

  private:
    template <typename Call>
    std::uint32_t Fault(const std::string& call, const std::string& path, Call&& real) {
        const auto found = faults.find(call + " " + path);
        return found != faults.end() ? found->second : real();
    }
};

// The embedded table of the tests: each resource's content names it.
const unsigned char kDelay[] = "tembo";
const unsigned char kMoxtel[] = "moxtel";
const unsigned char kImage4[] = "image 4.64";
const unsigned char kImage3[] = "image 3.53";
const unsigned char kImageA3[] = "image A3.53";
const unsigned char kBatch4[] = "Tembo\r\n";
const unsigned char kBatch3[] = "call tembo\r\n";
const unsigned char kTavrik[] = "tavrik";
const platform::ResourceEntry kTable[] = {
    {"IDR_TAVRIK", 171, kTavrik, kTavrik + sizeof kTavrik - 1},
    {"IDR_MOXTEL", 154, kMoxtel, kMoxtel + sizeof kMoxtel - 1},
    {"IDR_DELAY", 147, kDelay, kDelay + sizeof kDelay - 1},
    {"IDR_SMFW", 170, kImage4, kImage4 + sizeof kImage4 - 1},
    {"IDR_3SMFW", 173, kImage3, kImage3 + sizeof kImage3 - 1},
    {"IDR_A3SMFW", 174, kImageA3, kImageA3 + sizeof kImageA3 - 1},
    {"IDR_FW_BAT", 161, kBatch4, kBatch4 + sizeof kBatch4 - 1},
    {"IDR_3FW_BAT", 172, kBatch3, kBatch3 + sizeof kBatch3 - 1},
};

// Resources whose calls fail for one type name at a chosen point.
class FaultyResources final : public platform::EmbeddedResources {
  public:
    FaultyResources() : EmbeddedResources(kTable) {}
    std::uint32_t FindResource(std::uint32_t id, const std::string& typeName,
                               platform::ResourceInfo& info) override {
        lastType_ = typeName;
        return Fail(0) ? failure : EmbeddedResources::FindResource(id, typeName, info);
    }
    std::uint32_t LoadResource(const platform::ResourceInfo& info,
                               platform::ResourceData& data) override {
        return Fail(1) ? failure : EmbeddedResources::LoadResource(info, data);
    }
    std::uint32_t LockResource(const platform::ResourceData& data, const unsigned char*& bytes,
                               std::size_t& size) override {
        return Fail(2) ? failure : EmbeddedResources::LockResource(data, bytes, size);
    }

    std::string failingType;
    int failingStep = -1;  // 0 find, 1 load, 2 lock
    std::uint32_t failure = 0;

  private:
    bool Fail(int step) const { return step == failingStep && lastType_ == failingType; }
    std::string lastType_;
};

// Runs nothing; records the command and the directory it was given in, or fails to start.
class RecordingInterpreter final : public platform::CommandInterpreter {
  public:
    RecordingInterpreter(const platform::LanePaths& paths, platform::ProgramRunner& runner)
        : CommandInterpreter(paths, runner, [](const std::string&) {}) {}
    std::uint32_t Run(const std::string& commandLine, int& exitCode) override {
        commands.push_back(commandLine);
        directories.push_back(fs::current_path().string());
        exitCode = 1;  // not looked at
        if (stopDuringRun != nullptr) {
            stopDuringRun->Set();
            return platform::kErrorOperationAborted;
        }
        return failure;
    }
    Strings commands;
    Strings directories;
    std::uint32_t failure = 0;
    ManualResetEvent* stopDuringRun = nullptr;  // set while "running", as a signal would
};

class NoRunner final : public platform::ProgramRunner {
  public:
    std::uint32_t Run(const std::string&, const std::vector<std::string>&, int&) override {
        return 2;
    }
};

class QuillanFlowTest : public ::testing::Test {
  protected:
    QuillanFlowTest() : saved_(fs::current_path()) {
        Make("c/kel lane/applications");
        Make("c/install");
        Put("c/kel lane/applications/moxtel.exe", "old moxtel");
        Make("c/Kel Lane/Config");
        Put("c/Kel Lane/Config/LaneConfig.ini", "[Common]\r\nKelLaneNumber=7\r\n");
        Make("c/Software Distribution");
        fs::current_path(root_.Path());
    }
    ~QuillanFlowTest() override { fs::current_path(saved_); }

    void Make(const std::string& relative) { fs::create_directories(root_ / relative); }
    void Put(const std::string& relative, const std::string& text) {
        std::ofstream(root_ / relative, std::ios::binary) << text;
    }
    std::string Get(const std::string& relative) const {
        return testing::ReadWholeFile(root_ / relative);
    }
    bool Exists(const std::string& relative) const { return fs::exists(root_ / relative); }
    void SetBoard(const std::string& board) {
        ASSERT_EQ(registry_.SetValue("SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane",
                                     "SecurityModuleType", platform::RegValue::String(board)),
                  0u);
    }

    int Run() {
        const QuillanServices services{clock_,
                                       stillClock_,
                                       paths_,
                                       registry_,
                                       resources_,
                                       files_,
                                       interpreter_,
                                       [this](const std::string& text) { output_ += text; },
                                       [this](const std::string& text) { errors_ += text; },
                                       &stop_,
                                       processRunning_};
        return RunQuillan(services);
    }
    std::string LogPath(char letter) const {
        return (root_ / ("c/Software Distribution/KelLaneSuiteFirmwareRMQuillan7_" +
                         std::string(1, letter) + ".log"))
            .string();
    }

    // The message texts of a log, without their time stamps.
    Strings LogTexts(char letter) const {
        std::ifstream in(root_ / ("c/Software Distribution/KelLaneSuiteFirmwareRMQuillan7_" +
                                  std::string(1, letter) + ".log"));
        Strings texts;
        std::string line;
        while (std::getline(in, line)) {
            const std::size_t at = line.find(" :- - ");
            EXPECT_NE(at, std::string::npos) << line;
            EXPECT_EQ(line.back(), ' ') << line;
            texts.push_back(line.substr(at + 6, line.size() - at - 7));
        }
        return texts;
    }
    bool Contains(const Strings& texts, const std::string& text) const {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }

    testing::TempLaneRoot root_;
    fs::path saved_;
    platform::LanePaths paths_{root_.Path()};
    platform::Registry registry_{platform::Registry::DefaultHivePath(paths_)};
    test::SkippingClock clock_;
    FakeClock stillClock_;  // the reply bound never runs out
    FaultyResources resources_;
    FaultyFiles files_{paths_};
    NoRunner runner_;
    RecordingInterpreter interpreter_{paths_, runner_};
    std::string output_;
    std::string errors_;
    ManualResetEvent stopEvent_;
    QuillanStop stop_{stopEvent_, [] { return std::string("SIGTERM"); }};
    std::function<bool(long)> processRunning_ = platform::ProcessRunning;
};

TEST_F(QuillanFlowTest, A463ModuleGets4xxFilesAndOnlyTheSuccessLogRemains) {
    SetBoard("USB_SECURITY_MODULE");
    test::FakeModule module(paths_, 463);
    ASSERT_TRUE(module.Started());
    Put("c/Software Distribution/KelLaneSuiteFirmwareRMQuillan7_F.log", "earlier run\n");
    EXPECT_EQ(Run(), kQuillanDone);

    EXPECT_EQ(Get("c/kel lane/firmwareupdate/Tembo.exe"), "tembo");
    EXPECT_EQ(Get("c/kel lane/firmwareupdate/UpdateProcess.bat"), "Tembo\r\n");
    EXPECT_EQ(Get("c/firmwareupdate/SCv464.TSK"), "image 4.64");
    EXPECT_EQ(Get("c/kel lane/firmwareupdate/SCv464.TSK"), "image 4.64");
    EXPECT_EQ(Get("c/kel lane/firmwareupdate/Moxtel.exe"), "moxtel");
    EXPECT_EQ(Get("c/firmwareupdate/Moxtel.exe"), "moxtel");
    EXPECT_EQ(Get("c/kel lane/applications/moxtel.exe"), "moxtel");
    EXPECT_EQ(Get("c/kel lane/applications/moxtel.exeOLD"), "old moxtel");
    EXPECT_EQ(Get("c/firmwareupdate/moxtel.exeOLD"), "moxtel");
    EXPECT_FALSE(Exists("c/firmwareupdate/SCv353.TSK"));
    EXPECT_FALSE(Exists("c/Software Distribution/KelLaneSuiteFirmwareRMQuillan7_F.log"));
    EXPECT_EQ(interpreter_.commands,
              Strings{"call \"c:\\kel lane\\firmwareupdate\\UpdateProcess.bat\""});

    const Strings texts = LogTexts('S');
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts.front(), "The Security Controller Firmware version is 463.");
    EXPECT_EQ(texts[1], "Found resource c:\\kel lane\\firmwareupdate\\Tembo.exe...");
    EXPECT_EQ(
        Strings(texts.end() - 12, texts.end()),
        (Strings{"Updated c:\\firmwareupdate\\Moxtel.exe...",
                 "Files for Security Controller Firmware update successfully copied.",
                 "Try to copy moxtel.exe to moxtel.exeOLD in c:\\kel lane\\applications",
                 "Try to copy moxtel.exe to moxtel.exeOLD in c:\\firmwareupdate",
                 "Backing up moxtel.exe succeeded",
                 "Try to place updated moxtel to c:\\kel lane\\applications",
                 "Try to place updated moxtel to c:\\firmwareupdate", "Copy moxtel succeeded",
                 "Security Controller Utility file successfully copied.",
                 "Batch file ( c:\\kel lane\\firmwareupdate\\UpdateProcess.bat ) execution "
                 "completed  ...",
                 "Execution of the FirmwareUpdateProcess.bat worked.", "Quillan completed."}));
    EXPECT_EQ(texts.size(), 1u + 6 * 4 + 11);
    // The final wait comes after the query's waits.
    ASSERT_FALSE(clock_.Waits().empty());
    EXPECT_EQ(clock_.Waits().back(), kFinalWaitMs);
}

TEST_F(QuillanFlowTest, CurrentVersionsSkipAndLeaveTheFailureLog) {
    SetBoard("USB_SECURITY_MODULE");
    for (const auto& [version, shown] :
         std::vector<std::pair<int, std::string>>{{464, "4.64"}, {399, "3.53"}}) {
        test::FakeModule module(paths_, version);
        ASSERT_TRUE(module.Started());
        EXPECT_EQ(Run(), kQuillanDone);  // nothing was due
        EXPECT_EQ(
            LogTexts('F'),
            (Strings{"The Security Controller Firmware version is " + std::to_string(version) + ".",
                     "Skipping the Security Controller Firmware update since the current "
                     "version is " +
                         shown + " or higher."}));
        EXPECT_FALSE(Exists("c/Software Distribution/KelLaneSuiteFirmwareRMQuillan7_S.log"));
    }
    EXPECT_FALSE(Exists("c/firmwareupdate"));
    EXPECT_TRUE(interpreter_.commands.empty());
}

TEST_F(QuillanFlowTest, UnknownVersionGets3xxFilesAndTheBatchRunsWhereTheFolderStepLeftIt) {
    SetBoard("TMCB");
    Make("c/kel lane/firmwareupdate");  // the only folder that exists already
    EXPECT_EQ(Run(), kQuillanDone);
    EXPECT_EQ(
        output_,
        "TMCB Security Module, Can NOT Upload Firmware\nQuillan: update completed, log " +
            (root_ / "c/Software Distribution/KelLaneSuiteFirmwareRMQuillan7_S.log").string() +
            "\n");
    EXPECT_EQ(Get("c/kel lane/firmwareupdate/UpdateProcess.bat"), "call tembo\r\n");
    for (const char* folder : {"c/firmwareupdate/", "c/kel lane/firmwareupdate/"}) {
        EXPECT_EQ(Get(std::string(folder) + "SCv353.TSK"), "image 3.53");
        EXPECT_EQ(Get(std::string(folder) + "SCvA353.TSK"), "image A3.53");
        EXPECT_FALSE(Exists(std::string(folder) + "SCv464.TSK"));
    }
    EXPECT_TRUE(fs::is_directory(root_ / "c/install/misc"));
    ASSERT_EQ(interpreter_.directories.size(), 1u);
    EXPECT_EQ(fs::path(interpreter_.directories[0]),
              fs::canonical(root_ / "c/kel lane/firmwareupdate"));
    const Strings texts = LogTexts('S');
    EXPECT_EQ(texts[0], "The Security Controller Firmware version is 0.");
    EXPECT_EQ(texts[1], "c:\\kel lane\\firmwareupdate folder found...");
    EXPECT_EQ(texts.size(), 2u + 8 * 4 + 11);

    // A second run finds all three folders and runs the batch in the last one; the read-only
    // batch file of the last run is made writable and replaced.
    ASSERT_EQ(registry_.DeleteValue("SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane",
                                    "SecurityModuleType"),
              0u);
    fs::permissions(root_ / "c/kel lane/firmwareupdate/UpdateProcess.bat", fs::perms::owner_read,
                    fs::perm_options::replace);
    fs::current_path(root_.Path());
    EXPECT_EQ(Run(), kQuillanDone);
    EXPECT_EQ(fs::path(interpreter_.directories[1]), fs::canonical(root_ / "c/install/misc"));
    EXPECT_EQ(Get("c/kel lane/firmwareupdate/UpdateProcess.bat"), "call tembo\r\n");
    const Strings again = LogTexts('S');
    EXPECT_EQ(Strings(again.begin() + 1, again.begin() + 4),
              (Strings{"c:\\kel lane\\firmwareupdate folder found...",
                       "c:\\firmwareupdate folder found...", "c:\\install\\misc folder found..."}));
}

TEST_F(QuillanFlowTest, NoFolderExistedSoTheBatchRunsInTheStartingDirectory) {
    EXPECT_EQ(Run(), kQuillanDone);
    ASSERT_EQ(interpreter_.directories.size(), 1u);
    EXPECT_EQ(fs::path(interpreter_.directories[0]), fs::canonical(root_.Path()));
    EXPECT_FALSE(Contains(LogTexts('S'), "c:\\firmwareupdate folder found..."));
}

TEST_F(QuillanFlowTest, FolderAndDeleteFailuresAreLoggedAndEndTheFlowAfterTheDeletes) {
    Make("c/kel lane/firmwareupdate");
    Make("c/firmwareupdate");
    Put("c/kel lane/firmwareupdate/moxtel.exe", "x");
    files_.faults["cd c:\\firmwareupdate"] = 5;
    files_.faults["md c:\\install\\misc"] = 112;
    files_.faults["attrib C:\\kel lane\\firmwareupdate\\moxtel.exe"] = 5;
    EXPECT_EQ(Run(), kQuillanFailed);
    EXPECT_EQ(LogTexts('F'),
              (Strings{"The Security Controller Firmware version is 0.",
                       "c:\\kel lane\\firmwareupdate folder found...",
                       "ERROR: SetCurrDirectory c:\\firmwareupdate failed with 5",
                       "ERROR: CreateDirectory c:\\install\\misc failed with 112",
                       "ERROR: Unable to change attributes C:\\kel lane\\firmwareupdate\\moxtel.exe"
                       ": c:\\kel lane\\firmwareupdate folder found..."}));
    EXPECT_FALSE(Exists("c/kel lane/firmwareupdate/Tembo.exe"));
    EXPECT_FALSE(Exists("c/Software Distribution/KelLaneSuiteFirmwareRMQuillan7_S.log"));
}

TEST_F(QuillanFlowTest, AFailedDeleteOfTheBatchFileEndsTheFlow) {
    Make("c/kel lane/firmwareupdate");
    Put("c/kel lane/firmwareupdate/UpdateProcess.bat", "x");
    files_.faults["del c:\\kel lane\\firmwareupdate\\UpdateProcess.bat"] = 32;
    EXPECT_EQ(Run(), kQuillanFailed);
    const Strings texts = LogTexts('F');
    EXPECT_EQ(texts.back(),
              "ERROR: DeleteFile Failed c:\\kel lane\\firmwareupdate\\UpdateProcess.bat: "
              "c:\\kel lane\\firmwareupdate folder found...");
    EXPECT_EQ(Get("c/kel lane/firmwareupdate/UpdateProcess.bat"), "x");
}

TEST_F(QuillanFlowTest, EachResourceFailurePointStopsTheWrites) {
    struct Case {
        int step;
        std::uint32_t error;
        std::string message;
    };
    const std::string path = "c:\\firmwareupdate\\SCvA353.TSK";
    for (const Case& c : {Case{0, 1814, "ERROR: FindResource() failed for " + path + " with 1814 "},
                          Case{1, 1812, "ERROR: LoadResource() failed for " + path + " with 1812"},
                          Case{2, 6, "ERROR: LockResource() failed for " + path + " with 6"}}) {
        resources_.failingType = "IDR_A3SMFW";
        resources_.failingStep = c.step;
        resources_.failure = c.error;
        fs::current_path(root_.Path());
        EXPECT_EQ(Run(), kQuillanFailed);
        const Strings texts = LogTexts('F');
        ASSERT_GE(texts.size(), 2u);
        EXPECT_EQ(texts[texts.size() - 2], c.message);
        EXPECT_EQ(texts.back(),
                  "ERROR: Failed to copy files for Security Controller Firmware update.");
        EXPECT_FALSE(Exists("c/kel lane/firmwareupdate/SCv353.TSK"));  // written after it
        EXPECT_TRUE(interpreter_.commands.empty());
    }
}

TEST_F(QuillanFlowTest, AFailedWriteLeavesTheOldFileAndSaysWhy) {
    Make("c/firmwareupdate");
    Put("c/firmwareupdate/Moxtel.exe", "good old utility");
    files_.faults["write c:\\firmwareupdate\\Moxtel.exe"] = 112;
    EXPECT_EQ(Run(), kQuillanFailed);
    const Strings texts = LogTexts('F');
    EXPECT_EQ(texts[texts.size() - 2],
              "ERROR: Failed to write c:\\firmwareupdate\\Moxtel.exe to disk : 112");
    EXPECT_EQ(Get("c/firmwareupdate/Moxtel.exe"), "good old utility");
}

TEST_F(QuillanFlowTest, UtilityCopyFailures) {
    fs::remove(root_ / "c/kel lane/applications/moxtel.exe");
    EXPECT_EQ(Run(), kQuillanFailed);
    Strings texts = LogTexts('F');
    EXPECT_EQ(Strings(texts.end() - 3, texts.end()),
              (Strings{"Try to copy moxtel.exe to moxtel.exeOLD in c:\\kel lane\\applications",
                       "ERROR: Copy moxtel.exe to moxtel.exeOLD failed with 2",
                       "ERROR: Failed to copy Security Controller Utility file."}));

    Put("c/kel lane/applications/moxtel.exe", "old moxtel");
    files_.faults["copy c:\\firmwareupdate\\moxtel.exe"] = 5;
    fs::current_path(root_.Path());
    EXPECT_EQ(Run(), kQuillanFailed);
    texts = LogTexts('F');
    EXPECT_EQ(Strings(texts.end() - 3, texts.end()),
              (Strings{"Try to place updated moxtel to c:\\firmwareupdate",
                       "ERROR: Copy moxtel failed with 5",
                       "ERROR: Failed to copy Security Controller Utility file."}));
    EXPECT_TRUE(interpreter_.commands.empty());
}

TEST_F(QuillanFlowTest, AnInterpreterThatCannotStartFailsTheRun) {
    interpreter_.failure = 2;
    EXPECT_EQ(Run(), kQuillanFailed);
    const Strings texts = LogTexts('F');
    EXPECT_EQ(Strings(texts.end() - 2, texts.end()),
              (Strings{"ERROR: Batch file ( c:\\kel lane\\firmwareupdate\\UpdateProcess.bat ) "
                       "failed with 2",
                       "ERROR: Unable to execute FirmwareUpdateProcess."}));
}

// A stop before the end leaves only the failure log, saying so, and ends without the final wait.
TEST_F(QuillanFlowTest, AStopLeavesOnlyTheFailureLogSayingSo) {
    const std::string stopped =
        "ERROR: Quillan was stopped by SIGTERM before the update was complete.";
    // Asked to stop while the module is being asked: nothing is written.
    stopEvent_.Set();
    EXPECT_EQ(Run(), kQuillanStopped);
    EXPECT_EQ(LogTexts('F'), (Strings{"The Security Controller Firmware version is 0.", stopped}));
    EXPECT_FALSE(Exists("c/kel lane/firmwareupdate/Tembo.exe"));
    EXPECT_TRUE(interpreter_.commands.empty());

    // Asked to stop while the batch file runs.
    stopEvent_.Reset();
    interpreter_.stopDuringRun = &stopEvent_;
    output_.clear();
    EXPECT_EQ(Run(), kQuillanStopped);
    const Strings texts = LogTexts('F');
    EXPECT_EQ(Strings(texts.end() - 2, texts.end()),
              (Strings{"ERROR: Batch file ( c:\\kel lane\\firmwareupdate\\UpdateProcess.bat ) "
                       "stopped before its end",
                       stopped}));
    EXPECT_FALSE(Contains(texts, "ERROR: Unable to execute FirmwareUpdateProcess."));
    EXPECT_FALSE(fs::exists(LogPath('S')));
    EXPECT_EQ(output_, "TMCB Security Module, Can NOT Upload Firmware\nQuillan: stopped, log " +
                           LogPath('F') + "\n");
    const std::vector<std::int64_t> waits = clock_.Waits();
    EXPECT_EQ(std::count(waits.begin(), waits.end(), kFinalWaitMs), 0);
}

TEST_F(QuillanFlowTest, TemporaryFilesOfADeadWriterAreRemovedByTheNextRun) {
    EXPECT_EQ(TemporaryWriter("Moxtel.exe.~123", "moxtel.exe"), 123);
    EXPECT_EQ(TemporaryWriter("moxtel.exeOLD.~45~", "moxtel.exeOLD"), 45);
    for (const char* other : {"moxtel.exeOLD.~45", "Moxtel.exe", "Moxtel.exe.~", "Moxtel.exe.~1x",
                              "Moxtel.exe.~12345678901", "Moxtel.exe~12", "Moxtel.exe.~12~~"}) {
        EXPECT_FALSE(TemporaryWriter(other, "Moxtel.exe")) << other;
    }
    // 99999999 is no process; 222 runs (another installer writing right now).
    processRunning_ = [](long id) { return id == 222; };
    const Strings removed = {"c/kel lane/firmwareupdate/Moxtel.exe.~99999999",
                             "c/firmwareupdate/moxtel.exeOLD.~99999999~",
                             "c/kel lane/applications/moxtel.exe.~99999999"};
    const Strings kept = {"c/firmwareupdate/SCv353.TSK.~222",
                          "c/firmwareupdate/notes.txt.~99999999",
                          "c/install/misc/Moxtel.exe.~99999999"};
    for (const auto& list : {removed, kept}) {
        for (const std::string& file : list) {
            Make(fs::path(file).parent_path().string());
            Put(file, "left over");
        }
    }
    EXPECT_EQ(Run(), kQuillanDone);
    for (const std::string& file : removed) {
        EXPECT_FALSE(Exists(file)) << file;
    }
    for (const std::string& file : kept) {
        EXPECT_TRUE(Exists(file)) << file;
    }
    const Strings texts = LogTexts('S');
    EXPECT_TRUE(Contains(
        texts, "Removed stale temporary file c:\\firmwareupdate\\moxtel.exeOLD.~99999999~..."));
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::string& text) {
                                return text.rfind("Removed stale temporary file", 0) == 0;
                            }),
              3);
}

TEST_F(QuillanFlowTest, ALogThatCannotBeWrittenIsReportedWithItsOwnExitCode) {
    fs::remove_all(root_ / "c/Software Distribution");
    Put("c/Software Distribution", "a file where the folder should be");
    EXPECT_EQ(Run(), kQuillanNoRecord);
    EXPECT_EQ(errors_, "Quillan: update completed, but its log cannot be written: " + LogPath('S') +
                           ": The system cannot find the path specified.\n");
    // A lane without the folder (or even drive c) gets it made.
    fs::remove_all(root_ / "c/Software Distribution");
    errors_.clear();
    EXPECT_EQ(Run(), kQuillanDone);
    EXPECT_EQ(errors_, "");
    EXPECT_EQ(LogTexts('S').back(), "Quillan completed.");
}

}  // namespace
}  // namespace lane::quillan
