// Windows system error numbers for errno values, and their English message texts.
#include "platform/SystemError.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace lane::platform {

namespace {

inline constexpr std::uint32_t kErrorGenFailure = 31;

struct ErrnoMapping {
    int errnoValue;
    std::uint32_t windowsError;
};

// errno values the stand-ins meet, with the Windows numbers the original calls reported.
constexpr ErrnoMapping kErrnoMappings[] = {
    {0, kErrorSuccess},
    {ENOENT, kErrorFileNotFound},
    {ENXIO, kErrorFileNotFound},
    {ECONNREFUSED, kErrorFileNotFound},  // nobody listens: the pipe or device does not exist
    {ENOTDIR, kErrorPathNotFound},
    {EMFILE, 4},
    {ENFILE, 4},
    {EACCES, kErrorAccessDenied},
    {EPERM, kErrorAccessDenied},
    {EROFS, kErrorAccessDenied},
    {EISDIR, kErrorAccessDenied},
    {EBADF, kErrorInvalidHandle},
    {ENOMEM, 8},
    {EXDEV, 17},
    {ETXTBSY, kErrorSharingViolation},
    {EBUSY, 170},
    {ENOSYS, 50},
    {EOPNOTSUPP, 50},
    {EEXIST, kErrorFileExists},
    {EINVAL, kErrorInvalidParameter},
    {ENOSPC, kErrorDiskFull},
    {EDQUOT, kErrorDiskFull},
    {EFBIG, kErrorFileTooLarge},
    {ENOTEMPTY, 145},
    {ENAMETOOLONG, 206},
    {EPIPE, kErrorPipeNotConnected},
    {ECONNRESET, kErrorPipeNotConnected},
    {ENOTCONN, kErrorPipeNotConnected},
    {ECONNABORTED, kErrorPipeNotConnected},
    {EINTR, 995},
    {ECANCELED, 995},
    {EAGAIN, kErrorIoPending},
    {EINPROGRESS, kErrorIoPending},
    {EIO, 1117},
    {ENODEV, 1167},
    {ETIMEDOUT, 1460},
    {ELOOP, 1921},
};

struct MessageText {
    std::uint32_t windowsError;
    const char* text;
};

// FormatMessage texts (English) of the numbers above and of those the suite prints itself.
constexpr MessageText kMessageTexts[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {13, "The data is invalid."},
    {17, "The system cannot move the file to a different disk drive."},
    {31, "A device attached to the system is not functioning."},
    {32, "The process cannot access the file because it is being used by another process."},
    {38, "Reached the end of the file."},
    {50, "The request is not supported."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {109, "The pipe has been ended."},
    {112, "There is not enough space on the disk."},
    {121, "The semaphore timeout period has expired."},
    {122, "The data area passed to a system call is too small."},
    {145, "The directory is not empty."},
    {161, "The specified path is invalid."},
    {170, "The requested resource is in use."},
    {183, "Cannot create a file when that file already exists."},
    {206, "The filename or extension is too long."},
    {223, "The file size exceeds the limit allowed and cannot be saved."},
    {231, "All pipe instances are busy."},
    {232, "The pipe is being closed."},
    {233, "No process is on the other end of the pipe."},
    {234, "More data is available."},
    {259, "No more data is available."},
    {336, "An operation is not supported on a directory."},
    {995,
     "The I/O operation has been aborted because of either a thread exit or an application "
     "request."},
    {996, "Overlapped I/O event is not in a signaled state."},
    {997, "Overlapped I/O operation is in progress."},
    {1117, "The request could not be performed because of an I/O device error."},
    {1167, "The device is not connected."},
    {1460, "This operation returned because the timeout period expired."},
    {1921, "The name of the file cannot be resolved by the system."},
};

bool ParentFolderExists(const std::string& hostPath) {
    const std::filesystem::path parent = std::filesystem::path(hostPath).parent_path();
    if (parent.empty()) {
        return true;
    }
    std::error_code error;
    return std::filesystem::is_directory(parent, error);
}

}  // namespace

std::uint32_t WindowsErrorFromErrno(int errnoValue) {
    for (const auto& mapping : kErrnoMappings) {
        if (mapping.errnoValue == errnoValue) {
            return mapping.windowsError;
        }
    }
    return kErrorGenFailure;
}

std::uint32_t WindowsErrorFromErrnoForPath(int errnoValue, const std::string& hostPath) {
    const std::uint32_t windowsError = WindowsErrorFromErrno(errnoValue);
    if (windowsError == kErrorFileNotFound && !ParentFolderExists(hostPath)) {
        return kErrorPathNotFound;
    }
    return windowsError;
}

std::string SystemErrorText(std::uint32_t windowsError) {
    for (const auto& message : kMessageTexts) {
        if (message.windowsError == windowsError) {
            return std::string(message.text) + "\r\n";
        }
    }
    // FormatMessage has no text for the number: say so, as its own failure message does.
    char text[96];
    std::snprintf(text, sizeof text,
                  "The system cannot find message text for message number 0x%X.\r\n",
                  static_cast<unsigned>(windowsError));
    return text;
}

std::string SystemErrorReason(std::uint32_t windowsError) {
    std::string text = SystemErrorText(windowsError);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return "error " + std::to_string(windowsError) + ": " + text;
}

}  // namespace lane::platform
