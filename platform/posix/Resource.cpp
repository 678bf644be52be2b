// Embedded resources looked up in the table the build registers, with Windows' failure numbers.
#include "platform/Resource.h"

#include "platform/SystemError.h"

namespace lane::platform {

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameTypeName(const char* a, const std::string& b) {
    std::size_t i = 0;
    for (; a[i] != '\0' && i < b.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return a[i] == '\0' && i == b.size();
}

}  // namespace

std::uint32_t EmbeddedResources::FindResource(std::uint32_t id, const std::string& typeName,
                                              ResourceInfo& info) {
    info = ResourceInfo{};
    bool typeSeen = false;
    for (const ResourceEntry& entry : table_) {
        if (entry.typeName == nullptr || !SameTypeName(entry.typeName, typeName)) {
            continue;
        }
        typeSeen = true;
        if (entry.id == id) {
            info.entry = &entry;
            return 0;
        }
    }
    return typeSeen ? kErrorResourceNameNotFound : kErrorResourceTypeNotFound;
}

std::uint32_t EmbeddedResources::LoadResource(const ResourceInfo& info, ResourceData& data) {
    data = ResourceData{};
    if (info.entry == nullptr) {
        return kErrorInvalidHandle;
    }
    if (info.entry->begin == nullptr || info.entry->end < info.entry->begin) {
        return kErrorResourceDataNotFound;
    }
    data.entry = info.entry;
    return 0;
}

std::uint32_t EmbeddedResources::LockResource(const ResourceData& data, const unsigned char*& bytes,
                                              std::size_t& size) {
    bytes = nullptr;
    size = 0;
    if (data.entry == nullptr) {
        return kErrorInvalidHandle;
    }
    bytes = data.entry->begin;
    size = static_cast<std::size_t>(data.entry->end - data.entry->begin);
    return 0;
}

}  // namespace lane::platform
