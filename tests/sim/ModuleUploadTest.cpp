// Tests of the firmware upload as lanesim's module takes it: start, data, completion, and the
// ways an upload goes wrong.
#include "sim/ModuleUpload.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/sim/SimTestSupport.h"

namespace lane::sim {
namespace {

using test::Bytes;

ModulePacket Start(std::size_t length) {
    return ModulePacket{0, 0xF0,
                        Bytes{static_cast<std::uint8_t>((length >> 8) & 0xFF),
                              static_cast<std::uint8_t>(length & 0xFF), 0xAA, 0x55, 0xA0}};
}

ModulePacket Data(const Bytes& image, std::size_t from, std::size_t count) {
    return ModulePacket{0, 0xF1,
                        Bytes(image.begin() + static_cast<long>(from),
                              image.begin() + static_cast<long>(from + count))};
}

Bytes Pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return bytes;
}

// The image cut as the utility cuts it: packets of 60 bytes, the rest in the last.
std::vector<UploadEvent> Send(FirmwareUploadCapture& capture, const Bytes& image) {
    std::vector<UploadEvent> events{capture.Take(Start(image.size()))};
    for (std::size_t from = 0; from < image.size(); from += 60) {
        events.push_back(
            capture.Take(Data(image, from, std::min<std::size_t>(60, image.size() - from))));
    }
    return events;
}

TEST(ModuleUploadTest, ImagesOfOneHundredTwentyAndSixtyOneBytesCompleteOnTheirLastPacket) {
    for (const std::size_t size : {std::size_t{120}, std::size_t{61}}) {
        FirmwareUploadCapture capture;
        const Bytes image = Pattern(size);
        const auto events = Send(capture, image);
        ASSERT_EQ(events.size(), 3u) << size;
        EXPECT_EQ(events[0], UploadEvent::Started);
        EXPECT_EQ(capture.Expected(), size);
        EXPECT_EQ(events[1], UploadEvent::None);
        EXPECT_EQ(events[2], UploadEvent::Completed);
        EXPECT_EQ(capture.Image(), image);
        EXPECT_FALSE(capture.Receiving());
        // A second upload after the first starts clean.
        const Bytes other = Pattern(size + 1);
        EXPECT_EQ(Send(capture, other).back(), UploadEvent::Completed);
        EXPECT_EQ(capture.Image(), other);
    }
}

TEST(ModuleUploadTest, LengthZeroMeansSixtyFourKilobytes) {
    FirmwareUploadCapture capture;
    EXPECT_EQ(capture.Take(Start(0)), UploadEvent::Started);
    EXPECT_EQ(capture.Expected(), 65536u);
    const Bytes image = Pattern(65536);
    UploadEvent last = UploadEvent::None;
    for (std::size_t from = 0; from < image.size(); from += 60) {
        last = capture.Take(Data(image, from, std::min<std::size_t>(60, image.size() - from)));
        if (from + 60 < image.size()) {
            ASSERT_EQ(last, UploadEvent::None) << from;
        }
    }
    EXPECT_EQ(last, UploadEvent::Completed);
    EXPECT_EQ(capture.Image(), image);
}

TEST(ModuleUploadTest, ANewStartAbortsTheUploadUnderWay) {
    FirmwareUploadCapture capture;
    const Bytes image = Pattern(200);
    ASSERT_EQ(capture.Take(Start(200)), UploadEvent::Started);
    ASSERT_EQ(capture.Take(Data(image, 0, 60)), UploadEvent::None);
    EXPECT_EQ(capture.Take(Start(120)), UploadEvent::Restarted);
    EXPECT_EQ(capture.LostBytes(), 60u);
    EXPECT_EQ(capture.Expected(), 120u);
    EXPECT_EQ(capture.Received(), 0u);
    // The new upload takes only its own bytes.
    EXPECT_EQ(capture.Take(Data(image, 60, 60)), UploadEvent::None);
    EXPECT_EQ(capture.Take(Data(image, 120, 60)), UploadEvent::Completed);
    EXPECT_EQ(capture.Image(), Bytes(image.begin() + 60, image.begin() + 180));
}

TEST(ModuleUploadTest, DataPastTheLengthOrWithoutAStartIsReportedOnce) {
    const Bytes image = Pattern(120);
    {
        // A packet longer than what is left spoils the upload: no image.
        FirmwareUploadCapture capture;
        ASSERT_EQ(capture.Take(Start(100)), UploadEvent::Started);
        ASSERT_EQ(capture.Take(Data(image, 0, 60)), UploadEvent::None);
        EXPECT_EQ(capture.Take(Data(image, 60, 60)), UploadEvent::Oversized);
        EXPECT_EQ(capture.LostBytes(), 20u);
        EXPECT_EQ(capture.Take(Data(image, 0, 10)), UploadEvent::None);
        EXPECT_FALSE(capture.Receiving());
    }
    {
        // More data after a completed image.
        FirmwareUploadCapture capture;
        ASSERT_EQ(Send(capture, Pattern(61)).back(), UploadEvent::Completed);
        EXPECT_EQ(capture.Take(Data(image, 0, 5)), UploadEvent::Oversized);
        EXPECT_EQ(capture.LostBytes(), 5u);
        EXPECT_EQ(capture.Take(Data(image, 0, 5)), UploadEvent::None);
    }
    {
        FirmwareUploadCapture capture;
        EXPECT_EQ(capture.Take(Data(image, 0, 60)), UploadEvent::Stray);
        EXPECT_EQ(capture.Take(Data(image, 0, 60)), UploadEvent::None);
        // A start puts it right.
        EXPECT_EQ(Send(capture, Pattern(61)).back(), UploadEvent::Completed);
    }
}

TEST(ModuleUploadTest, OtherPacketsAndMisshapenStartsChangeNothing) {
    FirmwareUploadCapture capture;
    ModulePacket badMarker = Start(120);
    badMarker.data[4] = 0xA1;
    EXPECT_EQ(capture.Take(badMarker), UploadEvent::BadStart);
    ModulePacket shortStart = Start(120);
    shortStart.data.pop_back();
    EXPECT_EQ(capture.Take(shortStart), UploadEvent::BadStart);
    EXPECT_FALSE(capture.Receiving());
    ASSERT_EQ(capture.Take(Start(61)), UploadEvent::Started);
    // Start and data on another port, the loopback, an empty data packet: not the upload's.
    EXPECT_EQ(capture.Take(ModulePacket{5, 0xF0, Start(10).data}), UploadEvent::None);
    EXPECT_EQ(capture.Take(ModulePacket{6, 0xF1, Bytes(61, 1)}), UploadEvent::None);
    EXPECT_EQ(capture.Take(ModulePacket{0, 0xA0, Bytes(3, 1)}), UploadEvent::None);
    EXPECT_EQ(capture.Take(ModulePacket{0, 0xF1, {}}), UploadEvent::None);
    EXPECT_EQ(capture.Received(), 0u);
    EXPECT_TRUE(capture.Receiving());
}

TEST(ModuleUploadTest, TheImageFileIsWrittenWholeOrNotAtAll) {
    test::TemporaryRoot root;
    std::string error;
    const Bytes image = Pattern(61);
    ASSERT_EQ(WriteUploadedImage(root.File("image.bin"), image, error), 0) << error;
    const std::string written = test::ReadText(root.File("image.bin"));
    EXPECT_EQ(Bytes(written.begin(), written.end()), image);
    EXPECT_FALSE(std::filesystem::exists(root.File("image.bin.tmp")));
    EXPECT_EQ(WriteUploadedImage(root.File("no/such/folder/image.bin"), image, error), 1);
    EXPECT_NE(error.find("folder/image.bin (system error 3)"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(root.File("no/such/folder/image.bin")));
}

}  // namespace
}  // namespace lane::sim
