// Tests of the executable-resource stand-in: lookup by type and id, and each failure point.
#include "platform/Resource.h"

#include <gtest/gtest.h>

#include <string>

namespace lane::platform {
namespace {

const unsigned char kBatch[] = {'T', 'e', 'm', 'b', 'o', '\r', '\n'};
const unsigned char kImage[] = {1, 2, 3};

const ResourceEntry kTable[] = {
    {"IDR_FW_BAT", 161, kBatch, kBatch + sizeof kBatch},
    {"IDR_SMFW", 170, kImage, kImage + sizeof kImage},
    {"IDR_SMFW", 175, nullptr, nullptr},  // registered, but its data is missing
    {"IDR_EMPTY", 1, kImage, kImage},
};

std::string Text(const unsigned char* bytes, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(bytes), size);
}

TEST(Resource, FindLoadAndLockGiveTheBytesAndTypeNamesIgnoreCase) {
    EmbeddedResources resources(kTable);
    for (const char* type : {"IDR_FW_BAT", "idr_fw_bat"}) {
        ResourceInfo info;
        ASSERT_EQ(resources.FindResource(161, type, info), 0u);
        ResourceData data;
        ASSERT_EQ(resources.LoadResource(info, data), 0u);
        const unsigned char* bytes = nullptr;
        std::size_t size = 0;
        ASSERT_EQ(resources.LockResource(data, bytes, size), 0u);
        EXPECT_EQ(Text(bytes, size), "Tembo\r\n");
    }
    ResourceInfo info;
    ResourceData data;
    const unsigned char* bytes = nullptr;
    std::size_t size = 9;
    ASSERT_EQ(resources.FindResource(1, "IDR_EMPTY", info), 0u);
    ASSERT_EQ(resources.LoadResource(info, data), 0u);
    ASSERT_EQ(resources.LockResource(data, bytes, size), 0u);
    EXPECT_EQ(size, 0u);
}

TEST(Resource, EachFailurePointHasItsWindowsNumber) {
    EmbeddedResources resources(kTable);
    ResourceInfo info;
    EXPECT_EQ(resources.FindResource(170, "IDR_MOXTEL", info), kErrorResourceTypeNotFound);
    EXPECT_EQ(info.entry, nullptr);
    EXPECT_EQ(resources.FindResource(161, "IDR_SMFW", info), kErrorResourceNameNotFound);
    EXPECT_EQ(resources.FindResource(170, "IDR_SMF", info), kErrorResourceTypeNotFound);

    ResourceData data;
    EXPECT_EQ(resources.LoadResource(ResourceInfo{}, data), 6u);
    ASSERT_EQ(resources.FindResource(175, "IDR_SMFW", info), 0u);
    EXPECT_EQ(resources.LoadResource(info, data), kErrorResourceDataNotFound);
    EXPECT_EQ(data.entry, nullptr);

    const unsigned char* bytes = kImage;
    std::size_t size = 5;
    EXPECT_EQ(resources.LockResource(ResourceData{}, bytes, size), 6u);
    EXPECT_EQ(bytes, nullptr);
    EXPECT_EQ(size, 0u);

    EmbeddedResources none({});
    EXPECT_EQ(none.FindResource(161, "IDR_FW_BAT", info), kErrorResourceTypeNotFound);
}

}  // namespace
}  // namespace lane::platform
