// Tests of the errno to Windows error mapping and the message texts.
#include "platform/SystemError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <random>

namespace lane::platform {
namespace {

TEST(SystemErrorTest, ErrnoValuesMapToTheWindowsNumbers) {
    EXPECT_EQ(WindowsErrorFromErrno(0), 0u);
    EXPECT_EQ(WindowsErrorFromErrno(ENOENT), kErrorFileNotFound);
    EXPECT_EQ(WindowsErrorFromErrno(ENOTDIR), kErrorPathNotFound);
    EXPECT_EQ(WindowsErrorFromErrno(EACCES), kErrorAccessDenied);
    EXPECT_EQ(WindowsErrorFromErrno(EPERM), kErrorAccessDenied);
    EXPECT_EQ(WindowsErrorFromErrno(EROFS), kErrorAccessDenied);
    EXPECT_EQ(WindowsErrorFromErrno(EBADF), kErrorInvalidHandle);
    EXPECT_EQ(WindowsErrorFromErrno(EEXIST), kErrorFileExists);
    EXPECT_EQ(WindowsErrorFromErrno(EINVAL), kErrorInvalidParameter);
    EXPECT_EQ(WindowsErrorFromErrno(ENOSPC), kErrorDiskFull);
    EXPECT_EQ(WindowsErrorFromErrno(EDQUOT), kErrorDiskFull);
    EXPECT_EQ(WindowsErrorFromErrno(EFBIG), kErrorFileTooLarge);
    EXPECT_EQ(WindowsErrorFromErrno(EPIPE), kErrorPipeNotConnected);
    EXPECT_EQ(WindowsErrorFromErrno(ECONNRESET), kErrorPipeNotConnected);
    EXPECT_EQ(WindowsErrorFromErrno(ECONNREFUSED), kErrorFileNotFound);
    EXPECT_EQ(WindowsErrorFromErrno(EAGAIN), kErrorIoPending);
    EXPECT_EQ(WindowsErrorFromErrno(ETXTBSY), kErrorSharingViolation);
    EXPECT_EQ(WindowsErrorFromErrno(ENOTEMPTY), 145u);
    EXPECT_EQ(WindowsErrorFromErrno(ETIMEDOUT), 1460u);
    EXPECT_EQ(WindowsErrorFromErrno(EDOM), 31u);  // not mapped: device not functioning
}

TEST(SystemErrorTest, AMissingFileInAMissingFolderIsPathNotFound) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("lane-error-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    EXPECT_EQ(WindowsErrorFromErrnoForPath(ENOENT, (folder / "file.txt").string()),
              kErrorFileNotFound);
    EXPECT_EQ(WindowsErrorFromErrnoForPath(ENOENT, (folder / "none" / "file.txt").string()),
              kErrorPathNotFound);
    EXPECT_EQ(WindowsErrorFromErrnoForPath(EACCES, (folder / "none" / "file.txt").string()),
              kErrorAccessDenied);
    std::filesystem::remove_all(folder);
}

TEST(SystemErrorTest, TextsAreThoseOfFormatMessageWithTheirLineEnd) {
    EXPECT_EQ(SystemErrorText(0), "The operation completed successfully.\r\n");
    EXPECT_EQ(SystemErrorText(2), "The system cannot find the file specified.\r\n");
    EXPECT_EQ(SystemErrorText(3), "The system cannot find the path specified.\r\n");
    EXPECT_EQ(SystemErrorText(5), "Access is denied.\r\n");
    EXPECT_EQ(SystemErrorText(6), "The handle is invalid.\r\n");
    EXPECT_EQ(SystemErrorText(32),
              "The process cannot access the file because it is being used by another "
              "process.\r\n");
    EXPECT_EQ(SystemErrorText(80), "The file exists.\r\n");
    EXPECT_EQ(SystemErrorText(87), "The parameter is incorrect.\r\n");
    EXPECT_EQ(SystemErrorText(109), "The pipe has been ended.\r\n");
    EXPECT_EQ(SystemErrorText(183), "Cannot create a file when that file already exists.\r\n");
    EXPECT_EQ(SystemErrorText(112), "There is not enough space on the disk.\r\n");
    EXPECT_EQ(SystemErrorText(223),
              "The file size exceeds the limit allowed and cannot be saved.\r\n");
    EXPECT_EQ(SystemErrorText(233), "No process is on the other end of the pipe.\r\n");
    EXPECT_EQ(SystemErrorText(336), "An operation is not supported on a directory.\r\n");
    EXPECT_EQ(SystemErrorText(234), "More data is available.\r\n");
    EXPECT_EQ(SystemErrorText(997), "Overlapped I/O operation is in progress.\r\n");
}

TEST(SystemErrorTest, EveryMappedNumberHasItsOwnText) {
    for (int errnoValue = 0; errnoValue < 200; ++errnoValue) {
        const std::uint32_t windowsError = WindowsErrorFromErrno(errnoValue);
        EXPECT_EQ(SystemErrorText(windowsError).find("cannot find message text"), std::string::npos)
            << "errno " << errnoValue << " gives " << windowsError;
    }
}

TEST(SystemErrorTest, AnUnknownNumberGetsAGenericText) {
    EXPECT_EQ(SystemErrorText(0xDEAD),
              "The system cannot find message text for message number 0xDEAD.\r\n");
}

}  // namespace
}  // namespace lane::platform
