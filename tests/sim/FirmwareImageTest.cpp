// The synthetic firmware images: the built files as the utility checks them, and the generator.
#include "tools/fwimage/FirmwareImage.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/sim/SimTestSupport.h"

namespace lane::sim::test {
namespace {

// The checks the utility makes on an image, written out here on their own: the 16-bit sum of all
// bytes but the last two, stored there high byte first.
bool TrailingChecksumHolds(const std::string& bytes) {
    if (bytes.size() < 2) {
        return false;
    }
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 2 < bytes.size(); ++i) {
        sum += static_cast<unsigned char>(bytes[i]);
    }
    const auto high = static_cast<unsigned char>(bytes[bytes.size() - 2]);
    const auto low = static_cast<unsigned char>(bytes[bytes.size() - 1]);
    return (sum & 0xFFFFu) == ((static_cast<std::uint32_t>(high) << 8) | low);
}

TEST(FirmwareImageFiles, BuiltImagesHaveTheirSizesAndPassTheTrailingChecksum) {
    const struct {
        const char* name;
        std::size_t size;
    } images[] = {{"SCv464.TSK", 49355}, {"SCv353.TSK", 30266}, {"SCvA353.TSK", 30268}};
    std::vector<std::string> contents;
    for (const auto& image : images) {
        const std::string bytes = ReadText(std::string(LANE_FIRMWARE_IMAGE_DIR) + "/" + image.name);
        EXPECT_EQ(bytes.size(), image.size) << image.name;
        EXPECT_TRUE(TrailingChecksumHolds(bytes)) << image.name;
        contents.push_back(bytes);
    }
    // Three images, three different contents (not one pattern cut to three lengths).
    EXPECT_NE(contents[1].substr(0, 1000), contents[2].substr(0, 1000));
    EXPECT_NE(contents[0].substr(0, 1000), contents[1].substr(0, 1000));
}

TEST(FirmwareImageGenerator, SameSeedSameBytesOtherSeedOtherBytes) {
    const auto first = fwimage::MakeImage(1000, 7);
    EXPECT_EQ(first, fwimage::MakeImage(1000, 7));
    EXPECT_NE(first, fwimage::MakeImage(1000, 8));
    // Content is not flat: a generator stuck on one value would still pass the checksum.
    std::vector<int> seen(256, 0);
    for (std::size_t i = 0; i + 2 < first.size(); ++i) {
        seen[first[i]] = 1;
    }
    int distinct = 0;
    for (int s : seen) {
        distinct += s;
    }
    EXPECT_GT(distinct, 200);
}

TEST(FirmwareImageGenerator, SizeLimitsAndChecksumOfTinyAndLargestImages) {
    EXPECT_TRUE(fwimage::MakeImage(1, 1).empty());
    EXPECT_TRUE(fwimage::MakeImage(65537, 1).empty());
    const auto tiny = fwimage::MakeImage(2, 1);
    ASSERT_EQ(tiny.size(), 2u);
    EXPECT_EQ(tiny[0], 0);
    EXPECT_EQ(tiny[1], 0);
    const auto largest = fwimage::MakeImage(65536, 3);
    ASSERT_EQ(largest.size(), 65536u);
    EXPECT_TRUE(TrailingChecksumHolds(std::string(largest.begin(), largest.end())));
    EXPECT_EQ(fwimage::InternalSum(largest), fwimage::StoredChecksum(largest));
    // A damaged content byte no longer matches the stored checksum.
    auto damaged = largest;
    damaged[100] ^= 0x01;
    EXPECT_NE(fwimage::InternalSum(damaged), fwimage::StoredChecksum(damaged));
}

TEST(FirmwareImageGenerator, WriteReplacesTheFileWholeAndReportsAnUnwritableFolder) {
    TemporaryRoot root;
    const auto image = fwimage::MakeImage(300, 5);
    std::string error;
    ASSERT_EQ(fwimage::WriteImageFile(root.File("a.TSK"), image, error), 0) << error;
    ASSERT_EQ(fwimage::WriteImageFile(root.File("a.TSK"), fwimage::MakeImage(120, 5), error), 0);
    EXPECT_EQ(ReadText(root.File("a.TSK")).size(), 120u);
    EXPECT_FALSE(std::filesystem::exists(root.File("a.TSK.tmp")));
    EXPECT_EQ(fwimage::WriteImageFile(root.File("missing/b.TSK"), image, error), 1);
    EXPECT_NE(error.find("missing/b.TSK (system error 3)"), std::string::npos);
}

}  // namespace
}  // namespace lane::sim::test
