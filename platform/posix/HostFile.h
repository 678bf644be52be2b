// Host file services shared by the POSIX stand-ins: whole-file reads, crash-safe replacement
// (temporary file, flush, rename, folder flush) and advisory lock files.
#pragma once

#include <string>
#include <string_view>

namespace lane::platform::posix {

// Reads the whole file into `bytes`. Returns 0, or the errno value (ENOENT when it is missing).
[[nodiscard]] int ReadWholeFile(const std::string& path, std::string& bytes);

// Creates `path` afresh for writing with `mode`: an entry of that name (a leftover, or a
// symbolic link) is removed first and the file is created exclusively, never through a link.
// The descriptor, or -1 with errno set.
int CreateFresh(const std::string& path, unsigned mode);

// Replaces `path` by `bytes` so that a crash at any moment leaves the old or the new file:
// writes `tempPath`, flushes it, renames it over `path` and flushes the folder. A new file gets
// the permissions of the one it replaces; a symbolic link at `path` is replaced, not followed.
// Returns 0, or the errno value of the failed step.
[[nodiscard]] int ReplaceFile(const std::string& path, const std::string& tempPath,
                              std::string_view bytes);

// An advisory lock (flock) on a lock file, released when the object goes away.
class FileLock {
  public:
    enum class Mode { Shared, Exclusive };

    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Opens (creating it when `create`) the lock file and waits for the lock. Returns 0, or the
    // errno value of the open or the lock.
    [[nodiscard]] int Acquire(const std::string& lockPath, Mode mode, bool create);
    // As Acquire without waiting: EWOULDBLOCK when someone else holds a conflicting lock.
    [[nodiscard]] int TryAcquire(const std::string& lockPath, Mode mode, bool create);
    bool Held() const { return fd_ >= 0; }
    void Release();

  private:
    int Lock(const std::string& lockPath, Mode mode, bool create, bool wait);
    int fd_ = -1;
};

}  // namespace lane::platform::posix
