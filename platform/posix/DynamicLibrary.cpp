// The run-time library loader stand-in on POSIX: dlopen and dlsym of "libX.so".
#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstring>

#ifndef LANE_LIBRARY_DIR_FROM_BINDIR
#error "LANE_LIBRARY_DIR_FROM_BINDIR is set by the build"
#endif

namespace lane::platform {

namespace {

constexpr const char kDllSuffix[] = ".dll";
constexpr std::size_t kDllSuffixLength = sizeof kDllSuffix - 1;

bool EndsWithDll(const std::string& name) {
    if (name.size() < kDllSuffixLength) {
        return false;
    }
    for (std::size_t i = 0; i < kDllSuffixLength; ++i) {
        const auto c = static_cast<unsigned char>(name[name.size() - kDllSuffixLength + i]);
        if (std::tolower(c) != kDllSuffix[i]) {
            return false;
        }
    }
    return true;
}

bool HasFolder(const std::string& name) {
    return name.find_first_of("/\\:") != std::string::npos;
}

void* OpenLibrary(const std::string& path) {
    return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

std::string HostLibraryFileName(const std::string& windowsName) {
    const std::string base = EndsWithDll(windowsName)
                                 ? windowsName.substr(0, windowsName.size() - kDllSuffixLength)
                                 : windowsName;
    return "lib" + base + ".so";
}

std::string ExecutableFolder() {
    std::array<char, 4096> path{};
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) {
        return {};
    }
    const std::string executable(path.data(), static_cast<std::size_t>(length));
    const std::size_t slash = executable.rfind('/');
    return slash == std::string::npos ? std::string() : executable.substr(0, slash);
}

std::string InstalledLibraryFolder() {
    const std::string folder = ExecutableFolder();
    return folder.empty() ? std::string() : folder + "/" + LANE_LIBRARY_DIR_FROM_BINDIR;
}

DynamicLibrary::~DynamicLibrary() {
    Free();
}

std::uint32_t DynamicLibrary::Load(const std::string& windowsName) {
    Free();
    if (windowsName.empty() || HasFolder(windowsName)) {
        return kErrorModuleNotFound;
    }
    const std::string fileName = HostLibraryFileName(windowsName);
    const std::string folder = ExecutableFolder();
    if (!folder.empty()) {
        handle_ = OpenLibrary(folder + "/" + fileName);
    }
    const std::string installed = InstalledLibraryFolder();
    if (handle_ == nullptr && !installed.empty()) {
        handle_ = OpenLibrary(installed + "/" + fileName);
    }
    if (handle_ == nullptr) {
        // A name without a slash makes the loader walk the system's search path.
        handle_ = OpenLibrary(fileName);
    }
    return handle_ != nullptr ? 0 : kErrorModuleNotFound;
}

LibraryProc DynamicLibrary::Proc(const std::string& name) const {
    if (handle_ == nullptr) {
        return nullptr;
    }
    void* address = ::dlsym(handle_, name.c_str());
    if (address == nullptr) {
        return nullptr;
    }
    // dlsym hands entry points back as object pointers; copy the bits into a function pointer.
    LibraryProc proc = nullptr;
    static_assert(sizeof proc == sizeof address);
    std::memcpy(&proc, &address, sizeof proc);
    return proc;
}

void DynamicLibrary::Free() {
    if (handle_ != nullptr) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

}  // namespace lane::platform
