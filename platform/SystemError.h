// Windows system error numbers as the suite's messages print them.
#pragma once

#include <cstdint>
#include <string>

namespace lane::platform {

inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorSharingViolation = 32;
inline constexpr std::uint32_t kErrorFileExists = 80;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorBrokenPipe = 109;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorBadPathname = 161;  // a path the lane refuses to map
inline constexpr std::uint32_t kErrorAlreadyExists = 183;
inline constexpr std::uint32_t kErrorFileTooLarge = 223;
inline constexpr std::uint32_t kErrorPipeBusy = 231;
inline constexpr std::uint32_t kErrorMoreData = 234;
inline constexpr std::uint32_t kErrorPipeNotConnected = 233;
inline constexpr std::uint32_t kErrorDirectoryNotSupported = 336;
inline constexpr std::uint32_t kErrorIoPending = 997;

// The Windows number for an errno value (unknown values give 31, "device not functioning").
std::uint32_t WindowsErrorFromErrno(int errnoValue);
// As WindowsErrorFromErrno, for a failed operation on `hostPath`: a missing file whose parent
// folder is missing too is "path not found" (3), as Windows reports it.
std::uint32_t WindowsErrorFromErrnoForPath(int errnoValue, const std::string& hostPath);
// The system's text for an error number, as FormatMessage gives it in English ("The system
// cannot find the file specified.\r\n").
std::string SystemErrorText(std::uint32_t windowsError);
// The same text on one line, for messages of our own: "error 112: There is not enough space on
// the disk."
std::string SystemErrorReason(std::uint32_t windowsError);

}  // namespace lane::platform
