// The installer's file and folder calls on this machine, through the lane paths.
#include "installer/InstallerFiles.h"

#include <filesystem>
#include <system_error>

#include "platform/File.h"
#include "platform/SystemError.h"

namespace lane::quillan {

std::uint32_t CHostInstallerFiles::SetCurrentDirectory(const std::string& path) {
    return platform::SetCurrentDirectory(paths_.Map(path));
}

std::uint32_t CHostInstallerFiles::CreateDirectory(const std::string& path) {
    return platform::CreateDirectory(paths_.Map(path));
}

std::uint32_t CHostInstallerFiles::GetFileAttributes(const std::string& path,
                                                     std::uint32_t& attributes) {
    return platform::GetFileAttributes(paths_.Map(path), attributes);
}

std::uint32_t CHostInstallerFiles::SetFileAttributesNormal(const std::string& path) {
    return platform::SetFileAttributes(paths_.Map(path), platform::kFileAttributeNormal);
}

std::uint32_t CHostInstallerFiles::DeleteFile(const std::string& path) {
    return platform::DeleteFile(paths_.Map(path));
}

std::uint32_t CHostInstallerFiles::CopyFile(const std::string& from, const std::string& to) {
    return platform::CopyFile(paths_.Map(from), paths_.Map(to));
}

std::uint32_t CHostInstallerFiles::WriteFile(const std::string& path, std::string_view bytes) {
    return platform::WriteWholeFile(paths_.Map(path), bytes);
}

std::uint32_t CHostInstallerFiles::ListFolder(const std::string& path,
                                              std::vector<std::string>& names) {
    names.clear();
    std::error_code error;
    std::filesystem::directory_iterator entries(paths_.Map(path), error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        std::error_code ignored;
        if (entries->is_regular_file(ignored) && !entries->is_symlink(ignored)) {
            names.push_back(entries->path().filename().string());
        }
    }
    return error ? platform::WindowsErrorFromErrno(error.value()) : 0;
}

}  // namespace lane::quillan
