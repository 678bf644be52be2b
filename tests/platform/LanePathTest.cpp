// Tests of the Windows path mapping onto the lane root.
#include "platform/LanePath.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace lane::platform {
namespace {

namespace fs = std::filesystem;

// A fresh lane root (resolved, so it compares with the current directory) and a place outside it.
class LanePathTest : public ::testing::Test {
  protected:
    LanePathTest()
        : base_(fs::temp_directory_path() /
                ("lane-path-" + std::to_string(std::random_device{}()))),
          savedCurrent_(fs::current_path()) {
        fs::create_directories(base_ / "root");
        fs::create_directories(base_ / "outside");
        base_ = fs::canonical(base_);
        root_ = (base_ / "root").string();
    }
    ~LanePathTest() override {
        fs::current_path(savedCurrent_);
        std::error_code ignored;
        fs::remove_all(base_, ignored);
    }

    // Creates a folder (with its parents) below the root.
    void MakeFolder(const std::string& relative) {
        fs::create_directories(fs::path(root_) / relative);
    }
    void MakeFile(const std::string& relative) {
        MakeFolder(fs::path(relative).parent_path().string());
        std::ofstream(fs::path(root_) / relative) << "x";
    }
    void ChangeTo(const std::string& relative) {
        MakeFolder(relative);
        fs::current_path(fs::path(root_) / relative);
    }

    fs::path base_;
    fs::path savedCurrent_;
    std::string root_;
};

TEST_F(LanePathTest, TheRootComesFromTheEnvironmentAndMustBeAnExistingFolder) {
    const char* saved = std::getenv("LANE_ROOT");
    const std::string savedText = saved != nullptr ? saved : "";
    MakeFile("a-file");
    // The messages are checked end to end, program by program.
    const std::pair<std::string, int> cases[] = {{root_, 0},
                                                 {"", kLaneRootEmpty},
                                                 {root_ + "/typo", kLaneRootMissing},
                                                 {root_ + "/a-file", kLaneRootMissing}};
    for (const auto& [value, result] : cases) {
        ::setenv("LANE_ROOT", value.c_str(), 1);
        std::string root;
        std::string message;
        EXPECT_EQ(LaneRootFromEnvironment(root, message), result) << value;
        EXPECT_EQ(message.empty(), result == 0) << message;
    }
    ::unsetenv("LANE_ROOT");
    std::string root;
    std::string message;
    (void)LaneRootFromEnvironment(root, message);
    EXPECT_EQ(root, kDefaultLaneRoot);
    if (saved != nullptr) {
        ::setenv("LANE_ROOT", savedText.c_str(), 1);
    }
}

TEST_F(LanePathTest, RootLosesTrailingSeparators) {
    EXPECT_EQ(LanePaths(root_ + "/").Root(), root_);
    EXPECT_EQ(LanePaths(root_ + "//").Root(), root_);
}

TEST_F(LanePathTest, DriveIsALowerCaseFolderAndMissingComponentsKeepTheirSpelling) {
    const LanePaths paths(root_);
    EXPECT_EQ(paths.Map("C:\\Kel Lane\\FirmwareUpdate\\Moxtel.exe"),
              root_ + "/c/Kel Lane/FirmwareUpdate/Moxtel.exe");
    EXPECT_EQ(paths.Map("d:\\x"), root_ + "/d/x");
    EXPECT_FALSE(fs::exists(fs::path(root_) / "c"));  // mapping creates nothing
}

TEST_F(LanePathTest, ExistingComponentsMatchIgnoringCase) {
    MakeFile("c/Kel Lane/Config/LaneConfig.Ini");
    const LanePaths paths(root_);
    EXPECT_EQ(paths.Map("c:\\KEL LANE\\config\\laneconfig.ini"),
              root_ + "/c/Kel Lane/Config/LaneConfig.Ini");
    // The matched part keeps the disk's spelling, the new part the caller's.
    EXPECT_EQ(paths.Map("c:\\kel lane\\CONFIG\\New Folder\\File.TXT"),
              root_ + "/c/Kel Lane/Config/New Folder/File.TXT");
}

TEST_F(LanePathTest, AnExactMatchIsPreferredAndTheChoiceIsStable) {
    MakeFolder("c/Config");
    MakeFolder("c/config");
    const LanePaths paths(root_);
    EXPECT_EQ(paths.Map("c:\\config"), root_ + "/c/config");
    EXPECT_EQ(paths.Map("c:\\Config"), root_ + "/c/Config");
    EXPECT_EQ(paths.Map("c:\\CONFIG"), root_ + "/c/Config");  // the smallest name of the two
}

TEST_F(LanePathTest, NamesWithBlanksStayWhole) {
    MakeFile("c/Kel Lane/Install_Suite/KelLaneSuiteSetup.ini");
    const LanePaths paths(root_);
    EXPECT_EQ(paths.Map("C:\\kel lane\\install_suite\\KelLaneSuiteSetup.INI"),
              root_ + "/c/Kel Lane/Install_Suite/KelLaneSuiteSetup.ini");
    EXPECT_EQ(paths.Map("c:\\Software Distribution\\a b  c.txt"),
              root_ + "/c/Software Distribution/a b  c.txt");
}

TEST_F(LanePathTest, TrailingSeparatorsAndDoubledSeparatorsAreDropped) {
    const LanePaths paths(root_);
    EXPECT_EQ(paths.Map("c:\\kel lane\\"), root_ + "/c/kel lane");
    EXPECT_EQ(paths.Map("c:\\kel lane\\\\Config\\\\"), root_ + "/c/kel lane/Config");
    EXPECT_EQ(paths.Map("c:\\"), root_ + "/c");
    EXPECT_EQ(paths.Map("c:/kel lane/x/"), root_ + "/c/kel lane/x");
}

TEST_F(LanePathTest, TrailingDotsAndBlanksOfAComponentGoAsOnWindows) {
    const LanePaths paths(root_);
    EXPECT_EQ(paths.Map("c:\\name. \\file.txt."), root_ + "/c/name/file.txt");
}

TEST_F(LanePathTest, DotsAreResolvedAndDotDotStopsAtTheDriveFolder) {
    const LanePaths paths(root_);
    EXPECT_EQ(paths.Map("c:\\.\\a\\.\\b"), root_ + "/c/a/b");
    EXPECT_EQ(paths.Map("c:\\a\\b\\..\\c"), root_ + "/c/a/c");
    EXPECT_EQ(paths.Map("c:\\..\\..\\etc\\passwd"), root_ + "/c/etc/passwd");
    ChangeTo("c/Kel Lane/Applications");
    EXPECT_EQ(paths.Map("..\\..\\..\\..\\x"), root_ + "/c/x");
}

TEST_F(LanePathTest, RelativePathsStartFromTheCurrentDirectory) {
    MakeFile("c/Kel Lane/Config/LaneConfig.Ini");
    ChangeTo("c/Kel Lane/FirmwareUpdate");
    const LanePaths paths(root_);
    EXPECT_EQ(paths.Map("..\\Config\\LaneConfig.Ini"), root_ + "/c/Kel Lane/Config/LaneConfig.Ini");
    EXPECT_EQ(paths.Map("..\\config\\laneconfig.ini"), root_ + "/c/Kel Lane/Config/LaneConfig.Ini");
    EXPECT_EQ(paths.Map("Tembo"), root_ + "/c/Kel Lane/FirmwareUpdate/Tembo");
    EXPECT_EQ(paths.Map("."), root_ + "/c/Kel Lane/FirmwareUpdate");
}

TEST_F(LanePathTest, NoMappedPathLeadsOutOfTheRoot) {
    std::ofstream(base_ / "outside" / "victim.txt") << "keep";
    MakeFolder("c/in");
    fs::create_directory_symlink(base_ / "outside", fs::path(root_) / "c" / "out");
    fs::create_symlink(base_ / "outside" / "victim.txt", fs::path(root_) / "c" / "tavrikitor.trc");
    fs::create_symlink(fs::path(root_) / "c" / "in", fs::path(root_) / "c" / "inside-link");
    const LanePaths paths(root_);
    struct Case {
        const char* place;  // current directory: below the root, or "outside" it
        std::string path;
        std::string mapped;  // empty: refused
    };
    const Case cases[] = {
        // Relative paths from a current directory that is not in a drive folder of the root.
        {"outside", "..\\victim.txt", ""},
        {"outside", "Tembo", ""},
        {"outside", "..\\Root\\x", ""},
        {"", "x", ""},  // the root itself is no drive
        {"registry", "..\\c\\x", ""},
        // Host paths of ours whose ".." leaves the root; inside they are only tidied.
        {"outside", root_ + "/c/../../outside/victim.txt", ""},
        {"outside", root_ + "/../outside/victim.txt", ""},
        {"outside", root_ + "/c/a/../b/", root_ + "/c/b"},
        // Symbolic links under the root that point out of it, to a folder or a file.
        {"outside", "c:\\out\\victim.txt", ""},
        {"outside", "c:\\tavrikitor.trc", ""},
        {"c", "out\\victim.txt", ""},
        // Links that stay inside, and ".." that stops at the drive, are mapped.
        {"outside", "c:\\inside-link\\x", root_ + "/c/inside-link/x"},
        {"c/in", "..\\..\\..\\x", root_ + "/c/x"},
    };
    for (const Case& c : cases) {
        if (std::string(c.place) == "outside") {
            fs::current_path(base_ / "outside");
        } else {
            ChangeTo(c.place);
        }
        EXPECT_EQ(paths.Map(c.path), c.mapped) << c.place << ": " << c.path;
        std::string hostPath = "unchanged";
        EXPECT_EQ(paths.MapInside(c.path, hostPath), c.mapped.empty() ? 161u : 0u) << c.path;
        EXPECT_EQ(hostPath, c.mapped);
    }
}

TEST_F(LanePathTest, RootRelativePathsUseTheDriveOfTheCurrentDirectory) {
    const LanePaths paths(root_);
    ChangeTo("d/Work/Deep");
    EXPECT_EQ(paths.Map("\\FirmwareUpdate\\Utility01.Txt"),
              root_ + "/d/FirmwareUpdate/Utility01.Txt");
    EXPECT_EQ(paths.Map("\\"), root_ + "/d");
    ChangeTo("registry");  // under the root but in no drive folder
    EXPECT_EQ(paths.Map("\\FirmwareUpdate"), root_ + "/c/FirmwareUpdate");
    fs::current_path(base_ / "outside");
    EXPECT_EQ(paths.Map("\\FirmwareUpdate"), root_ + "/c/FirmwareUpdate");
}

TEST_F(LanePathTest, DriveRelativePathsUseTheCurrentDirectoryOfThatDrive) {
    const LanePaths paths(root_);
    ChangeTo("d/Work");
    EXPECT_EQ(paths.Map("d:file.txt"), root_ + "/d/Work/file.txt");
    EXPECT_EQ(paths.Map("c:file.txt"), root_ + "/c/file.txt");
}

TEST_F(LanePathTest, HostPathsUnderTheRootAreTakenAsTheyAre) {
    const LanePaths paths(root_);
    EXPECT_EQ(paths.Map(root_ + "/c/Kel Lane/x"), root_ + "/c/Kel Lane/x");
    EXPECT_EQ(paths.Map(root_), root_);
    // Any other slash path is a root-relative Windows path.
    EXPECT_EQ(paths.Map("/FirmwareUpdate/x"), root_ + "/c/FirmwareUpdate/x");
}

TEST_F(LanePathTest, ARootReachedThroughALinkStillFindsTheDriveOfTheCurrentDirectory) {
    const fs::path link = base_ / "link";
    fs::create_directory_symlink(fs::path(root_), link);
    const LanePaths paths(link.string());
    ChangeTo("e/Work");  // the current directory is reported without the link
    EXPECT_EQ(paths.Map("\\x"), (link / "e" / "x").string());
    EXPECT_EQ(paths.Map("y"), (link / "e" / "Work" / "y").string());
}

TEST_F(LanePathTest, InternalPathsLieUnderTheRootAndCreateNothing) {
    const LanePaths paths(root_);
    EXPECT_EQ(paths.Internal("registry", "HKEY_LOCAL_MACHINE.reg"),
              root_ + "/registry/HKEY_LOCAL_MACHINE.reg");
    EXPECT_EQ(paths.Internal("locks", ""), root_ + "/locks");
    EXPECT_FALSE(fs::exists(fs::path(root_) / "registry"));
}

}  // namespace
}  // namespace lane::platform
