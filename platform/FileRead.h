// Whole-file reads of files named by people (scenarios, registry scripts), with Windows' error
// numbers and a size bound, and what kind of thing a host path names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lane::platform {

// Reads the whole of `hostPath` into `bytes`. Returns 0, or the Windows error: 2 or 3 when it
// is missing, 5 when it may not be read, 336 (kErrorDirectoryNotSupported) when it is a folder,
// 223 (kErrorFileTooLarge) when it holds more than `maxBytes`. A pipe or a device is read until
// its end or the bound; a FIFO nobody writes to reads as empty rather than waiting for a writer.
[[nodiscard]] std::uint32_t ReadWholeHostFile(const std::string& hostPath, std::size_t maxBytes,
                                              std::string& bytes);

enum class HostPathKind { Missing, RegularFile, Folder, Other };

// What `hostPath` names, following symbolic links (Other: a device, pipe or socket).
HostPathKind KindOfHostPath(const std::string& hostPath);

}  // namespace lane::platform
