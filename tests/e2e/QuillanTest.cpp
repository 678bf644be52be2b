// End-to-end runs of Quillan against lanesim in a fresh lane root: the files it writes, the
// utility it puts in place, the batch file it runs and the log it leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/File.h"
#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// A whole run (a batch with three 12-second waits and a final minute) at this time scale.
inline constexpr const char* kTimeScale = "1000";
inline constexpr std::int64_t kRunTimeoutMs = 180000;

const char* const kLog7S = "c/Software Distribution/KelLaneSuiteFirmwareRMQuillan7_S.log";
const char* const kLog7F = "c/Software Distribution/KelLaneSuiteFirmwareRMQuillan7_F.log";

class QuillanTest : public LaneTest {
  protected:
    // A lane as the software distribution finds it: lane 7, the utility in place.
    QuillanTest() {
        fs::create_directories(root / "c/Kel Lane/Applications");
        fs::create_directories(root / "c/Kel Lane/Config");
        fs::create_directories(root / "c/Install");
        fs::create_directories(root / "c/Software Distribution");
        std::ofstream(root / "c/Kel Lane/Applications/moxtel.exe", std::ios::binary)
            << "the old utility";
        std::ofstream(root / "c/Kel Lane/Config/LaneConfig.ini", std::ios::binary)
            << "[Common]\r\nKelLaneNumber=7\r\n";
    }

    // lanesim as a security module of `version` that serves the query and then one upload
    // (written to upload.bin), or only the query.
    void StartModule(int version, bool upload) {
        std::string scenario = "module version " + std::to_string(version) + "\n" +
                               "module connect within 30000\n"
                               "module expect 06 03 00 09 within 30000\n";
        if (upload) {
            scenario += "module expect-upload within 150000\n";
        }
        const auto path = root / "scenario.scn";
        std::ofstream(path) << scenario;
        ASSERT_EQ(lanesim.Start(BinaryPath("sim/lanesim"),
                                {"--record", (root / "record.txt").string(), "--upload-image",
                                 (root / "upload.bin").string(), path.string()},
                                Environment()),
                  0u);
        ASSERT_TRUE(ReadUntil(lanesim, "lanesim: listening on"));
    }

    // Starts Quillan from `from` (the lane root's drive c when empty); its output (and the
    // programs' it runs) comes with standard error merged.
    void StartQuillan(platform::ChildProcess& quillan, const fs::path& from = {}) {
        auto environment = Environment();
        environment.emplace_back("LANE_TEST_TIME_SCALE", kTimeScale);
        const std::string saved = fs::current_path().string();
        fs::current_path(from.empty() ? root / "c" : from);
        const std::uint32_t started =
            quillan.Start(BinaryPath("installer/Quillan"), {}, environment, true);
        fs::current_path(saved);
        ASSERT_EQ(started, 0u);
    }

    static Strings ReadToEnd(platform::ChildProcess& child, Strings lines = {}) {
        std::string line;
        while (child.ReadLine(line, kRunTimeoutMs) == 0) {
            lines.push_back(line);
        }
        return lines;
    }

    // Runs Quillan to its end and checks its exit code.
    Strings RunQuillan(int exitCode = 0, const fs::path& from = {}) {
        platform::ChildProcess quillan;
        StartQuillan(quillan, from);
        const Strings lines = ReadToEnd(quillan);
        EXPECT_EQ(ExitCode(quillan), exitCode);
        return lines;
    }

    // The files under drive c whose names hold the file services' temporary marker.
    Strings TemporaryFiles() const {
        Strings found;
        for (const auto& entry : fs::recursive_directory_iterator(root / "c")) {
            if (entry.path().filename().string().find(".~") != std::string::npos) {
                found.push_back(entry.path().string());
            }
        }
        return found;
    }

    std::string File(const std::string& relative) const {
        return testing::ReadWholeFile(root / relative);
    }
    bool Exists(const std::string& relative) const { return fs::exists(root / relative); }

    // The message texts of a log, without their time stamps.
    Strings LogTexts(const std::string& relative) const {
        std::ifstream in(root / relative);
        Strings texts;
        std::string line;
        while (std::getline(in, line)) {
            const std::size_t at = line.find(" :- - ");
            if (at != std::string::npos && line.size() >= at + 7) {
                texts.push_back(line.substr(at + 6, line.size() - at - 7));
            }
        }
        return texts;
    }

    static bool Has(const Strings& lines, const std::string& text) {
        for (const auto& line : lines) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    static std::string Built(const std::string& relative) {
        return testing::ReadWholeFile(BinaryPath(relative));
    }
    static std::string Source(const std::string& relative) {
        return testing::ReadWholeFile(std::string(LANE_SOURCE_DIR) + "/" + relative);
    }
};

TEST_F(QuillanTest, A440ModuleIsUpdatedWithThe4xxPackage) {
    SetBoardType("USB_SECURITY_MODULE");
    // An earlier update left its folder: the batch runs there and finds Tembo beside it.
    fs::create_directories(root / "c/Kel Lane/firmwareupdate");
    StartModule(440, true);
    const Strings output = RunQuillan();

    // The files, byte for byte as built into the program, at their mapped paths.
    const std::string image = Built("firmware/SCv464.TSK");
    ASSERT_EQ(image.size(), 49355u);
    EXPECT_EQ(File("c/Kel Lane/firmwareupdate/Tembo.exe"), Built("delay/Tembo"));
    EXPECT_EQ(File("c/Kel Lane/firmwareupdate/UpdateProcess.bat"),
              Source("installer/resources/UpdateProcess4.bat"));
    EXPECT_EQ(File("c/firmwareupdate/SCv464.TSK"), image);
    EXPECT_EQ(File("c/Kel Lane/firmwareupdate/SCv464.TSK"), image);
    const std::string utility = Built("Moxtel/Moxtel");
    EXPECT_EQ(File("c/Kel Lane/firmwareupdate/Moxtel.exe"), utility);
    EXPECT_EQ(File("c/firmwareupdate/Moxtel.exe"), utility);
    EXPECT_EQ(File("c/Kel Lane/Applications/moxtel.exe"), utility);
    EXPECT_EQ(File("c/Kel Lane/Applications/moxtel.exeOLD"), "the old utility");
    EXPECT_EQ(File("c/firmwareupdate/moxtel.exeOLD"), utility);
    EXPECT_FALSE(Exists("c/firmwareupdate/SCv353.TSK"));

    // The batch ran the placed utility, which uploaded the 4.64 image.
    EXPECT_EQ(ExitCode(lanesim), 0);
    EXPECT_EQ(File("upload.bin"), image);
    EXPECT_NE(RecordSummary().find(" 00 F0 "), std::string::npos);

    // Only the success log remains, with the steps in order.
    EXPECT_FALSE(Exists(kLog7F));
    const Strings texts = LogTexts(kLog7S);
    ASSERT_EQ(texts.size(), 37u);
    EXPECT_EQ(texts[0], "The Security Controller Firmware version is 440.");
    EXPECT_EQ(texts[1], "c:\\kel lane\\firmwareupdate folder found...");
    EXPECT_EQ(Strings(texts.begin() + 2, texts.begin() + 6),
              (Strings{"Found resource c:\\kel lane\\firmwareupdate\\Tembo.exe...",
                       "Loaded resource c:\\kel lane\\firmwareupdate\\Tembo.exe...",
                       "Attached to resource c:\\kel lane\\firmwareupdate\\Tembo.exe...",
                       "Updated c:\\kel lane\\firmwareupdate\\Tembo.exe..."}));
    EXPECT_EQ(
        Strings(texts.end() - 5, texts.end()),
        (Strings{"Copy moxtel succeeded", "Security Controller Utility file successfully copied.",
                 "Batch file ( c:\\kel lane\\firmwareupdate\\UpdateProcess.bat ) execution "
                 "completed  ...",
                 "Execution of the FirmwareUpdateProcess.bat worked.", "Quillan completed."}));
    EXPECT_FALSE(Has(output, "is not recognized"));
}

TEST_F(QuillanTest, CurrentModulesAreLeftAloneWithTheFailureLog) {
    SetBoardType("USB_SECURITY_MODULE");
    for (const auto& [version, shown] :
         std::vector<std::pair<int, std::string>>{{464, "4.64"}, {399, "3.53"}}) {
        StartModule(version, false);
        static_cast<void>(RunQuillan());
        EXPECT_EQ(ExitCode(lanesim), 0);
        EXPECT_EQ(
            LogTexts(kLog7F),
            (Strings{"The Security Controller Firmware version is " + std::to_string(version) + ".",
                     "Skipping the Security Controller Firmware update since the current "
                     "version is " +
                         shown + " or higher."}));
        EXPECT_FALSE(Exists(kLog7S));
        EXPECT_FALSE(Exists("c/firmwareupdate"));
    }
}

TEST_F(QuillanTest, A463ModuleGetsThe4xxFiles) {
    SetBoardType("USB_SECURITY_MODULE");
    StartModule(463, false);
    static_cast<void>(RunQuillan());
    EXPECT_EQ(File("c/Kel Lane/firmwareupdate/UpdateProcess.bat"),
              Source("installer/resources/UpdateProcess4.bat"));
    EXPECT_EQ(File("c/firmwareupdate/SCv464.TSK"), Built("firmware/SCv464.TSK"));
    EXPECT_EQ(LogTexts(kLog7S).front(), "The Security Controller Firmware version is 463.");
}

TEST_F(QuillanTest, OlderModulesGetThe3xxPackageAndTheAlternateImage) {
    SetBoardType("USB_SECURITY_MODULE");
    for (const auto& [version, logged] : std::vector<std::pair<int, int>>{{352, 352}, {309, 0}}) {
        fs::remove(root / "upload.bin");
        StartModule(version, true);
        const Strings output = RunQuillan();
        EXPECT_EQ(ExitCode(lanesim), 0);
        EXPECT_EQ(File("c/Kel Lane/firmwareupdate/UpdateProcess.bat"),
                  Source("installer/resources/UpdateProcess3.bat"));
        for (const std::string folder : {"c/firmwareupdate/", "c/Kel Lane/firmwareupdate/"}) {
            EXPECT_EQ(File(folder + "SCv353.TSK"), Built("firmware/SCv353.TSK"));
            EXPECT_EQ(File(folder + "SCvA353.TSK"), Built("firmware/SCvA353.TSK"));
        }
        // The utility got both images from the batch line; the module took one of them.
        const std::string uploaded = File("upload.bin");
        EXPECT_TRUE(uploaded == Built("firmware/SCv353.TSK") ||
                    uploaded == Built("firmware/SCvA353.TSK"));
        const Strings texts = LogTexts(kLog7S);
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.front(),
                  "The Security Controller Firmware version is " + std::to_string(logged) + ".");
        EXPECT_EQ(texts.back(), "Quillan completed.");
        // The batch names a Tembo the package never puts there: reported, and the batch goes on.
        EXPECT_TRUE(Has(output,
                        "'C:\\FirmwareUpdate\\tembo.exe' is not recognized as an "
                        "internal or external command, operable program or batch file."));
    }
}

TEST_F(QuillanTest, ALaneWithTheInterfaceBoardGetsThe3xxFilesAndTheUtilityRefuses) {
    SetBoardType("TMCB_SECURITY_MODULE");
    const auto path = root / "scenario.scn";
    std::ofstream(path) << "module connect within 60000\n";
    ASSERT_EQ(lanesim.Start(BinaryPath("sim/lanesim"), {path.string()}, Environment()), 0u);
    ASSERT_TRUE(ReadUntil(lanesim, "lanesim: listening on"));
    const Strings output = RunQuillan();
    EXPECT_TRUE(Has(output, "TMCB Security Module, Can NOT Upload Firmware"));
    EXPECT_TRUE(Has(output, "ERROR 1D: System is not USB!"));
    EXPECT_EQ(File("c/firmwareupdate/SCvA353.TSK"), Built("firmware/SCvA353.TSK"));
    EXPECT_EQ(LogTexts(kLog7S).front(), "The Security Controller Firmware version is 0.");
    EXPECT_FALSE(Exists(kLog7F));
}

TEST_F(QuillanTest, ALaneWithoutTheUtilityEndsWithTheCopyError) {
    fs::remove(root / "c/Kel Lane/Applications/moxtel.exe");
    const Strings output = RunQuillan(1);
    EXPECT_FALSE(Exists(kLog7S));
    const Strings texts = LogTexts(kLog7F);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], "ERROR: Copy moxtel.exe to moxtel.exeOLD failed with 2");
    EXPECT_EQ(texts.back(), "ERROR: Failed to copy Security Controller Utility file.");
    EXPECT_FALSE(Has(output, "is not recognized"));  // the batch never ran
}

TEST_F(QuillanTest, AReadOnlyBatchFileIsMadeWritableAndReplaced) {
    fs::create_directories(root / "c/Kel Lane/firmwareupdate");
    const std::string batch = (root / "c/Kel Lane/firmwareupdate/UpdateProcess.bat").string();
    std::ofstream(batch, std::ios::binary) << "old batch\r\n";
    ASSERT_EQ(platform::SetFileAttributes(batch, platform::kFileAttributeReadOnly), 0u);
    static_cast<void>(RunQuillan());
    EXPECT_EQ(File("c/Kel Lane/firmwareupdate/UpdateProcess.bat"),
              Source("installer/resources/UpdateProcess3.bat"));
    std::uint32_t attributes = 0;
    ASSERT_EQ(platform::GetFileAttributes(batch, attributes), 0u);
    EXPECT_EQ(attributes, platform::kFileAttributeNormal);
    EXPECT_EQ(LogTexts(kLog7S).back(), "Quillan completed.");
}

// SIGTERM while the batch file's utility talks to the module: the utility is ended before it
// uploads anything, only the failure log stays, saying so, and no temporary file is left; the
// leftovers of an earlier run that died are cleared first.
TEST_F(QuillanTest, AStoppedUpdateEndsTheUtilityAndLeavesOnlyTheFailureLog) {
    SetBoardType("USB_SECURITY_MODULE");
    fs::create_directories(root / "c/Kel Lane/firmwareupdate");
    fs::create_directories(root / "c/firmwareupdate");
    // 99999999 is above every process id the system hands out.
    std::ofstream(root / "c/Kel Lane/firmwareupdate/Moxtel.exe.~99999999") << "half";
    std::ofstream(root / "c/firmwareupdate/moxtel.exeOLD.~99999999~") << "half";
    // Every module answer comes late, so the utility is still starting when the stop comes.
    const auto path = root / "scenario.scn";
    std::ofstream(path) << "module version 440\nmodule reply-delay 700\n"
                           "module connect within 30000\nmodule expect-upload within 60000\n";
    ASSERT_EQ(lanesim.Start(BinaryPath("sim/lanesim"),
                            {"--upload-image", (root / "upload.bin").string(), path.string()},
                            Environment()),
              0u);
    ASSERT_TRUE(ReadUntil(lanesim, "lanesim: listening on"));

    platform::ChildProcess quillan;
    StartQuillan(quillan);
    Strings output;
    ASSERT_TRUE(ReadUntil(quillan, "Initializing Security Module", &output, kRunTimeoutMs));
    ASSERT_EQ(quillan.Terminate(), 0u);
    // The utility writes to the same standard error: the output ends only when both have gone.
    output = ReadToEnd(quillan, output);
    EXPECT_EQ(ExitCode(quillan), 2);
    EXPECT_FALSE(Exists("upload.bin"));

    EXPECT_FALSE(Exists(kLog7S));
    const Strings texts = LogTexts(kLog7F);
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(texts[0],
              "Removed stale temporary file c:\\firmwareupdate\\moxtel.exeOLD.~99999999~...");
    EXPECT_EQ(texts[1],
              "Removed stale temporary file c:\\kel lane\\firmwareupdate\\Moxtel.exe.~99999999...");
    EXPECT_EQ(Strings(texts.end() - 2, texts.end()),
              (Strings{"ERROR: Batch file ( c:\\kel lane\\firmwareupdate\\UpdateProcess.bat ) "
                       "stopped before its end",
                       "ERROR: Quillan was stopped by SIGTERM before the update was complete."}));
    EXPECT_TRUE(Has(output, "Quillan: stopped, log"));
    EXPECT_EQ(TemporaryFiles(), Strings{});
}

// A lane root with nothing in it: the run still leaves its log, says where, and fails.
TEST_F(QuillanTest, ALaneWithNothingSetUpStillGetsItsRecord) {
    fs::remove_all(root / "c");
    const Strings output = RunQuillan(1, root.Path());
    const std::string log = "c/Software Distribution/KelLaneSuiteFirmwareRMQuillan0_F.log";
    EXPECT_TRUE(Has(output, "Quillan: update failed, log " + (root / log).string()))
        << output.size();
    const Strings texts = LogTexts(log);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "The Security Controller Firmware version is 0.");
}

}  // namespace
}  // namespace lane::e2e
