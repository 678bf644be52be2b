// Tests of the folder and file services with Windows' results.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "platform/File.h"
#include "platform/SystemError.h"
#include "tests/support/TempLaneRoot.h"

namespace lane::platform {
namespace {

namespace fs = std::filesystem;

class FileServicesTest : public ::testing::Test {
  protected:
    FileServicesTest() : saved_(fs::current_path()) {}
    ~FileServicesTest() override { fs::current_path(saved_); }

    std::string Path(const std::string& relative) const { return (root_ / relative).string(); }
    void Write(const std::string& relative, const std::string& text) {
        std::ofstream(root_ / relative, std::ios::binary) << text;
    }
    std::string Read(const std::string& relative) const {
        return testing::ReadWholeFile(root_ / relative);
    }
    static bool Runnable(const std::string& path) {
        return (fs::status(path).permissions() & fs::perms::owner_exec) != fs::perms::none;
    }

    testing::TempLaneRoot root_;
    fs::path saved_;
};

TEST_F(FileServicesTest, FoldersAndTheCurrentDirectory) {
    EXPECT_EQ(SetCurrentDirectory(Path("c/missing")), 2u);
    EXPECT_EQ(SetCurrentDirectory(Path("c/missing/below")), 3u);
    EXPECT_EQ(CreateDirectory(Path("c/missing/below")), 3u);
    ASSERT_EQ(CreateDirectory(Path("c/firmwareupdate")), 0u);
    EXPECT_EQ(CreateDirectory(Path("c/firmwareupdate")), 183u);
    ASSERT_EQ(SetCurrentDirectory(Path("c/firmwareupdate")), 0u);
    EXPECT_EQ(fs::path(CurrentDirectory()), fs::canonical(Path("c/firmwareupdate")));
    Write("c/file", "x");
    EXPECT_EQ(SetCurrentDirectory(Path("c/file")), 267u);
    EXPECT_EQ(CreateDirectory(Path("c/file")), 183u);
}

TEST_F(FileServicesTest, AttributesAndDeletionOfReadOnlyFiles) {
    std::uint32_t attributes = 0;
    EXPECT_EQ(GetFileAttributes(Path("c/none.bat"), attributes), 2u);
    EXPECT_EQ(GetFileAttributes(Path("c/no/none.bat"), attributes), 3u);
    EXPECT_EQ(DeleteFile(Path("c/none.bat")), 2u);
    ASSERT_EQ(GetFileAttributes(Path("c"), attributes), 0u);
    EXPECT_EQ(attributes, kFileAttributeDirectory);
    EXPECT_EQ(DeleteFile(Path("c")), 5u);

    Write("c/UpdateProcess.bat", "old");
    ASSERT_EQ(GetFileAttributes(Path("c/UpdateProcess.bat"), attributes), 0u);
    EXPECT_EQ(attributes, kFileAttributeNormal);
    ASSERT_EQ(SetFileAttributes(Path("c/UpdateProcess.bat"), kFileAttributeReadOnly), 0u);
    ASSERT_EQ(GetFileAttributes(Path("c/UpdateProcess.bat"), attributes), 0u);
    EXPECT_EQ(attributes, kFileAttributeReadOnly);
    // As on Windows, whoever asks: a read-only file is neither deleted nor replaced.
    EXPECT_EQ(DeleteFile(Path("c/UpdateProcess.bat")), 5u);
    EXPECT_EQ(WriteWholeFile(Path("c/UpdateProcess.bat"), "new"), 5u);
    EXPECT_EQ(Read("c/UpdateProcess.bat"), "old");
    ASSERT_EQ(SetFileAttributes(Path("c/UpdateProcess.bat"), kFileAttributeNormal), 0u);
    ASSERT_EQ(DeleteFile(Path("c/UpdateProcess.bat")), 0u);
    EXPECT_FALSE(fs::exists(Path("c/UpdateProcess.bat")));
}

TEST_F(FileServicesTest, WholeFileWritesReplaceAndMakeExeFilesRunnable) {
    const std::string bytes("MZ\0\x01\r\n", 6);
    ASSERT_EQ(WriteWholeFile(Path("c/Tembo.exe"), bytes), 0u);
    EXPECT_EQ(Read("c/Tembo.exe"), bytes);
    EXPECT_TRUE(Runnable(Path("c/Tembo.exe")));
    ASSERT_EQ(WriteWholeFile(Path("c/Tembo.exe"), "short"), 0u);
    EXPECT_EQ(Read("c/Tembo.exe"), "short");
    ASSERT_EQ(WriteWholeFile(Path("c/SCv464.TSK"), "image"), 0u);
    EXPECT_FALSE(Runnable(Path("c/SCv464.TSK")));
    ASSERT_EQ(WriteWholeFile(Path("c/UPPER.EXE"), "x"), 0u);
    EXPECT_TRUE(Runnable(Path("c/UPPER.EXE")));
    EXPECT_EQ(WriteWholeFile(Path("c/missing/x.exe"), "x"), 3u);
    // Nothing is left beside the files: every temporary name was renamed or removed.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(Path("c"))) {
        ++entries;
    }
    EXPECT_EQ(entries, 3);
}

TEST_F(FileServicesTest, CopiesOverwriteKeepPermissionsAndFailCleanly) {
    ASSERT_EQ(WriteWholeFile(Path("c/moxtel.exe"), "new utility"), 0u);
    Write("c/moxtel.exeOLD", "older backup");
    ASSERT_EQ(CopyFile(Path("c/moxtel.exe"), Path("c/moxtel.exeOLD")), 0u);
    EXPECT_EQ(Read("c/moxtel.exeOLD"), "new utility");
    EXPECT_TRUE(Runnable(Path("c/moxtel.exeOLD")));  // a copy of a program stays one

    EXPECT_EQ(CopyFile(Path("c/absent.exe"), Path("c/copy.exe")), 2u);
    EXPECT_FALSE(fs::exists(Path("c/copy.exe")));
    EXPECT_EQ(CopyFile(Path("c/moxtel.exe"), Path("c/no/copy.exe")), 3u);

    Write("c/locked.exe", "locked");
    ASSERT_EQ(SetFileAttributes(Path("c/locked.exe"), kFileAttributeReadOnly), 0u);
    EXPECT_EQ(CopyFile(Path("c/moxtel.exe"), Path("c/locked.exe")), 5u);
    EXPECT_EQ(Read("c/locked.exe"), "locked");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(Path("c"))) {
        ++entries;
    }
    EXPECT_EQ(entries, 3);
}

TEST_F(FileServicesTest, FilesThatAreCutOrReplacedAreNeverReachedThroughALink) {
    Write("victim.txt", "keep");
    fs::create_symlink(root_ / "victim.txt", root_ / "c" / "tavrikitor.trc");
    fs::create_symlink(root_ / "victim.txt", root_ / "c" / "report.log");

    // The trace file and the report are opened to be cut: a link there is refused (1921).
    std::unique_ptr<SharedFile> file;
    EXPECT_EQ(OpenSharedFile(Path("c/tavrikitor.trc"), file), 1921u);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(OpenSharedFile("", file), kErrorBadPathname);  // a path the lane refused to map
    // Whole-file writes and copies replace the link itself.
    ASSERT_EQ(WriteWholeFile(Path("c/report.log"), "new"), 0u);
    Write("c/source", "copied");
    ASSERT_EQ(CopyFile(Path("c/source"), Path("c/tavrikitor.trc")), 0u);
    EXPECT_FALSE(fs::is_symlink(root_ / "c" / "report.log"));
    EXPECT_EQ(Read("c/report.log"), "new");
    EXPECT_EQ(Read("c/tavrikitor.trc"), "copied");
    EXPECT_EQ(Read("victim.txt"), "keep");
}

}  // namespace
}  // namespace lane::platform
