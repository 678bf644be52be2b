// The file and folder calls of the installer, on the system's Windows paths. Each returns 0 or
// the Windows error number. Tests wrap the host implementation to make any call fail.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/LanePath.h"

namespace lane::quillan {

class CInstallerFiles {
  public:
    virtual ~CInstallerFiles() = default;
    [[nodiscard]] virtual std::uint32_t SetCurrentDirectory(const std::string& path) = 0;
    [[nodiscard]] virtual std::uint32_t CreateDirectory(const std::string& path) = 0;
    // 2 (or 3) when the file does not exist.
    [[nodiscard]] virtual std::uint32_t GetFileAttributes(const std::string& path,
                                                          std::uint32_t& attributes) = 0;
    [[nodiscard]] virtual std::uint32_t SetFileAttributesNormal(const std::string& path) = 0;
    [[nodiscard]] virtual std::uint32_t DeleteFile(const std::string& path) = 0;
    // Copies with overwriting.
    [[nodiscard]] virtual std::uint32_t CopyFile(const std::string& from,
                                                 const std::string& to) = 0;
    // Creates (or replaces) the file with the bytes.
    [[nodiscard]] virtual std::uint32_t WriteFile(const std::string& path,
                                                  std::string_view bytes) = 0;
    // The names of the plain files in the folder (no folders, links or other entries).
    [[nodiscard]] virtual std::uint32_t ListFolder(const std::string& path,
                                                   std::vector<std::string>& names) = 0;
};

// The calls on this machine: each Windows path is mapped onto the lane root.
class CHostInstallerFiles : public CInstallerFiles {
  public:
    explicit CHostInstallerFiles(const platform::LanePaths& paths) : paths_(paths) {}
    [[nodiscard]] std::uint32_t SetCurrentDirectory(const std::string& path) override;
    [[nodiscard]] std::uint32_t CreateDirectory(const std::string& path) override;
    [[nodiscard]] std::uint32_t GetFileAttributes(const std::string& path,
                                                  std::uint32_t& attributes) override;
    [[nodiscard]] std::uint32_t SetFileAttributesNormal(const std::string& path) override;
    [[nodiscard]] std::uint32_t DeleteFile(const std::string& path) override;
    [[nodiscard]] std::uint32_t CopyFile(const std::string& from, const std::string& to) override;
    [[nodiscard]] std::uint32_t WriteFile(const std::string& path, std::string_view bytes) override;
    [[nodiscard]] std::uint32_t ListFolder(const std::string& path,
                                           std::vector<std::string>& names) override;

  private:
    const platform::LanePaths& paths_;
};

}  // namespace lane::quillan
