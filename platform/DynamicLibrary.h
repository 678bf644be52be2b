// The run-time library loader stand-in: "X.dll" is loaded as "libX.so", beside the executable
// first, then from the suite's installed library folder.
#pragma once

#include <cstdint>
#include <string>

namespace lane::platform {

// Windows' numbers for the two failures callers can meet.
inline constexpr std::uint32_t kErrorModuleNotFound = 126;
inline constexpr std::uint32_t kErrorProcedureNotFound = 127;

// The host file name of a Windows library name: "TavrikEvent.dll" (any case of ".dll") and
// "TavrikEvent" both give "libTavrikEvent.so". The one place where that rule lives.
std::string HostLibraryFileName(const std::string& windowsName);

// The folder that holds the running executable, or "" when it cannot be found.
std::string ExecutableFolder();

// The suite's installed library folder, found from the executable's folder the way the install
// lays them out ("/usr/bin" gives "/usr/bin/../lib/x86_64-linux-gnu/lane-suite"), so that a
// relocated or unpacked installation finds its libraries too; "" when the executable's folder
// is unknown.
std::string InstalledLibraryFolder();

// Any entry point, to be cast by the caller to its real type.
using LibraryProc = void (*)();

// One loaded library, freed when the object goes away (LoadLibrary, GetProcAddress, FreeLibrary).
class DynamicLibrary {
  public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads a library by its Windows name (a plain file name, no folder): first beside the
    // executable, then from the suite's installed library folder (InstalledLibraryFolder), then
    // along the system's library search path. Returns 0, or
    // kErrorModuleNotFound when neither place gives a loadable library (or the name has a
    // folder in it). A library loaded before is freed first.
    [[nodiscard]] std::uint32_t Load(const std::string& windowsName);

    bool Loaded() const { return handle_ != nullptr; }
    // The address of an exported entry point, or null when the library is not loaded or has no
    // such entry point.
    LibraryProc Proc(const std::string& name) const;
    void Free();

  private:
    void* handle_ = nullptr;
};

}  // namespace lane::platform
