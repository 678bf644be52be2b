// Files opened the way the trace file is: read and write, shared, created when absent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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
// Returns 0 and sets `file`, or the Windows error number.
[[nodiscard]] std::uint32_t OpenSharedFile(const std::string& hostPath,
                                           std::unique_ptr<SharedFile>& file);

}  // namespace lane::platform
