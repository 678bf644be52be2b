// Files opened the way the trace file is: read and write, shared, created when absent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace lane::platform {

class SharedFile {
  public:
    virtual ~SharedFile() = default;
    virtual std::uint64_t Position() const = 0;
    [[nodiscard]] virtual std::uint32_t SeekToEnd() = 0;
    // Moves to the start and cuts the file to length 0.
    [[nodiscard]] virtual std::uint32_t Truncate() = 0;
    // Writes every byte at the current position. Writes are unbuffered: what returned is in the
    // operating system's hands, so a process that ends leaves the file complete.
    [[nodiscard]] virtual std::uint32_t Write(const char* bytes, std::size_t count) = 0;
};

// Opens `hostPath` for reading and writing, creating it when absent and never truncating it.
// A symbolic link is not followed (1921); an empty path, a refused mapping, gives 161.
// Returns 0 and sets `file`, or the Windows error number.
[[nodiscard]] std::uint32_t OpenSharedFile(const std::string& hostPath,
                                           std::unique_ptr<SharedFile>& file);

// ---- File and folder services with Windows' results, on host paths (map Windows paths first
// with LanePaths::Map). Each returns 0 or the Windows error number. Files that are replaced are
// written under a temporary name created afresh (never through a symbolic link) and renamed
// over the target, which replaces a link at the target rather than the file it points to. ----

// GetFileAttributes / SetFileAttributes bits the suite uses.
inline constexpr std::uint32_t kFileAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;

// SetCurrentDirectory: 2 when the folder does not exist, 3 when a folder above it is missing too,
// 267 (invalid directory name) when it is a file.
[[nodiscard]] std::uint32_t SetCurrentDirectory(const std::string& hostPath);
// The process's current directory (empty when it cannot be found).
std::string CurrentDirectory();
// CreateDirectory of one folder: 183 when something of that name exists, 3 when its parent does
// not exist.
[[nodiscard]] std::uint32_t CreateDirectory(const std::string& hostPath);
// GetFileAttributes: kFileAttributeDirectory for a folder, kFileAttributeReadOnly for a file no
// one may write to (no write permission bit), else kFileAttributeNormal. 2 when missing.
[[nodiscard]] std::uint32_t GetFileAttributes(const std::string& hostPath,
                                              std::uint32_t& attributes);
// SetFileAttributes of kFileAttributeNormal (the file becomes writable by its owner) or
// kFileAttributeReadOnly (every write permission bit is taken away); other bits are ignored.
[[nodiscard]] std::uint32_t SetFileAttributes(const std::string& hostPath,
                                              std::uint32_t attributes);
// DeleteFile: as on Windows, a read-only file is refused with 5, a folder with 5, a missing file
// is 2.
[[nodiscard]] std::uint32_t DeleteFile(const std::string& hostPath);
// CopyFile with overwriting: the target gets the source's bytes and permissions (a name ending
// in ".exe" stays runnable); a read-only target is refused with 5. The copy is written under a
// temporary name beside the target and renamed over it, so a failed copy leaves the old target.
[[nodiscard]] std::uint32_t CopyFile(const std::string& fromHostPath,
                                     const std::string& toHostPath);
// Creates the file (replacing an existing one, which must not be read-only: 5) with `bytes`,
// written under a temporary name beside it, flushed and renamed, so a failure never leaves a
// half-written file in place of the old one. A name ending in ".exe" (any case) is made runnable,
// because Windows runs any such file.
[[nodiscard]] std::uint32_t WriteWholeFile(const std::string& hostPath, std::string_view bytes);

}  // namespace lane::platform
