// Reading a whole file that must be a plain file: a folder, pipe, device or socket is refused
// before a single byte is read, and the open never waits for a pipe's writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lane::platform {

enum class FileKind {
    Regular,  // a plain file (also through a symbolic link)
    Folder,
    Other,  // a pipe, a device or a socket
};

// Opens `hostPath` for reading without waiting (a pipe with no writer does not block the open),
// checks what it is and, when it is a plain file, reads at most `maxBytes` of it into `bytes`.
// Returns 0 with `kind` Regular; kErrorAccessDenied (5) with `kind` Folder or Other for anything
// that is not a plain file; or the Windows error of the open or the read (2 when missing).
[[nodiscard]] std::uint32_t ReadRegularFile(const std::string& hostPath, std::size_t maxBytes,
                                            std::string& bytes, FileKind& kind);

}  // namespace lane::platform
