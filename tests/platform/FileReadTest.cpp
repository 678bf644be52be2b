// Tests of whole-file reads with a bound and of the kinds of host paths.
#include "platform/FileRead.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/SystemError.h"

namespace lane::platform {
namespace {

namespace fs = std::filesystem;

TEST(FileReadTest, ReadsUpToTheBoundAndGivesTheReasonOtherwise) {
    const fs::path folder =
        fs::temp_directory_path() / ("lane-read-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
    const std::string file = (folder / "ten.txt").string();
    std::ofstream(file, std::ios::binary) << "0123456789";

    struct Case {
        std::string path;
        std::size_t maxBytes;
        std::uint32_t result;
        std::string bytes;
    };
    const Case cases[] = {
        {file, 10, kErrorSuccess, "0123456789"},
        {file, 9, kErrorFileTooLarge, ""},
        {folder.string(), 100, kErrorDirectoryNotSupported, ""},
        {(folder / "none.txt").string(), 100, kErrorFileNotFound, ""},
        {(folder / "none" / "x.txt").string(), 100, kErrorPathNotFound, ""},
        {"/dev/null", 100, kErrorSuccess, ""},
        {"/dev/zero", 100000, kErrorFileTooLarge, ""},  // an endless device stops at the bound
    };
    for (const Case& c : cases) {
        std::string bytes = "left over";
        EXPECT_EQ(ReadWholeHostFile(c.path, c.maxBytes, bytes), c.result) << c.path;
        EXPECT_EQ(bytes, c.bytes) << c.path;
    }

    EXPECT_EQ(KindOfHostPath(file), HostPathKind::RegularFile);
    EXPECT_EQ(KindOfHostPath(folder.string()), HostPathKind::Folder);
    EXPECT_EQ(KindOfHostPath("/dev/null"), HostPathKind::Other);
    EXPECT_EQ(KindOfHostPath((folder / "none.txt").string()), HostPathKind::Missing);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace lane::platform
