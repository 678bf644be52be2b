// The executable-resource stand-in: files embedded at build time, found by type name and id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace lane::platform {

// Windows numbers of the resource calls.
inline constexpr std::uint32_t kErrorResourceDataNotFound = 1812;
inline constexpr std::uint32_t kErrorResourceTypeNotFound = 1813;
inline constexpr std::uint32_t kErrorResourceNameNotFound = 1814;

// One embedded file, as the build registers it: its type name ("IDR_MOXTEL"), its numeric id and
// its bytes [begin, end). A null `begin` is an entry whose data did not make it into the program.
struct ResourceEntry {
    const char* typeName;
    std::uint32_t id;
    const unsigned char* begin;
    const unsigned char* end;
};

// What FindResource hands back: the entry found (null when none).
struct ResourceInfo {
    const ResourceEntry* entry = nullptr;
};

// What LoadResource hands back: the loaded data (null when none).
struct ResourceData {
    const ResourceEntry* entry = nullptr;
};

// FindResource, LoadResource and LockResource, with their failure points. Each call returns 0
// or the Windows error number of the failure.
class ExecutableResources {
  public:
    virtual ~ExecutableResources() = default;
    // Finds the resource `id` of type `typeName` (compared ignoring case): 1813 when no resource
    // has that type, 1814 when the type has no resource with that id.
    [[nodiscard]] virtual std::uint32_t FindResource(std::uint32_t id, const std::string& typeName,
                                                     ResourceInfo& info) = 0;
    // Loads a found resource: 6 for an empty handle, 1812 when its data is missing.
    [[nodiscard]] virtual std::uint32_t LoadResource(const ResourceInfo& info,
                                                     ResourceData& data) = 0;
    // Gives the bytes of a loaded resource: 6 for an empty handle.
    [[nodiscard]] virtual std::uint32_t LockResource(const ResourceData& data,
                                                     const unsigned char*& bytes,
                                                     std::size_t& size) = 0;
};

// The resources of a table of entries (the program's own, registered by the build).
class EmbeddedResources : public ExecutableResources {
  public:
    explicit EmbeddedResources(std::span<const ResourceEntry> table) : table_(table) {}

    [[nodiscard]] std::uint32_t FindResource(std::uint32_t id, const std::string& typeName,
                                             ResourceInfo& info) override;
    [[nodiscard]] std::uint32_t LoadResource(const ResourceInfo& info, ResourceData& data) override;
    [[nodiscard]] std::uint32_t LockResource(const ResourceData& data, const unsigned char*& bytes,
                                             std::size_t& size) override;

  private:
    std::span<const ResourceEntry> table_;
};

}  // namespace lane::platform
