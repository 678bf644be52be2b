// Tests of a firmware upload through the driver stand-in, as the utility sends it: the image
// file, the record's notes, and the scenario step that waits for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "sim/ModuleFace.h"
#include "sim/Player.h"
#include "tests/sim/ModuleTestSupport.h"

namespace lane::sim {
namespace {

using test::Bytes;
using test::OpenModuleDevice;
using test::WithChecksum;
constexpr std::uint32_t kWrite = platform::kDeviceGenericWrite;

Bytes StartPacket(std::size_t length) {
    return WithChecksum({0x00, 0xF0, 0x05, static_cast<std::uint8_t>((length >> 8) & 0xFF),
                         static_cast<std::uint8_t>(length & 0xFF), 0xAA, 0x55, 0xA0});
}

Bytes Image(std::size_t size, std::uint8_t salt) {
    Bytes image(size);
    for (std::size_t i = 0; i < size; ++i) {
        image[i] = static_cast<std::uint8_t>(i * 13 + salt);
    }
    return image;
}

class ModuleUploadFaceTest : public test::ModuleFaceHarness {
  protected:
    void ServeWithImage() {
        ModuleFaceSetup setup;
        setup.uploadImagePath = root_.File("uploaded.TSK");
        Serve(ModuleIdentity{}, setup);
        writer_ = OpenModuleDevice(paths_, kModuleUsbDeviceName, kWrite);
    }

    // The start packet, then the image in packets of 60 bytes (`upTo` bytes of it).
    void Upload(const Bytes& image, std::size_t upTo) {
        WriteSystemPort(*writer_, StartPacket(image.size()));
        for (std::size_t from = 0; from < upTo; from += 60) {
            Bytes packet{0x00, 0xF1,
                         static_cast<std::uint8_t>(std::min<std::size_t>(60, upTo - from))};
            for (std::size_t i = from; i < from + packet[2]; ++i) {
                packet.push_back(image[i]);
            }
            WriteSystemPort(*writer_, WithChecksum(packet));
        }
    }

    Bytes Uploaded() {
        const std::string text = test::ReadText(root_.File("uploaded.TSK"));
        return Bytes(text.begin(), text.end());
    }

    std::unique_ptr<platform::DeviceHandle> writer_;
};

TEST_F(ModuleUploadFaceTest, CompletedUploadsAreWrittenAndNotedAndNothingIsAnswered) {
    ServeWithImage();
    auto reader = OpenModuleDevice(paths_, kModuleUsbDeviceName, platform::kDeviceGenericRead);
    const Bytes first = Image(120, 1);
    Upload(first, first.size());
    EXPECT_EQ(Uploaded(), first);
    const Bytes second = Image(61, 2);
    Upload(second, second.size());
    EXPECT_EQ(Uploaded(), second);
    EXPECT_FALSE(std::filesystem::exists(root_.File("uploaded.TSK.tmp")));
    EXPECT_TRUE(face_->TakeUpload());
    EXPECT_TRUE(face_->TakeUpload());
    EXPECT_FALSE(face_->TakeUpload());
    // No answer to any upload packet: the system-port read gets the loopback echo first.
    const Bytes loopback = WithChecksum({0x00, 0xA0, 0x01, 0x42});
    WriteSystemPort(*writer_, loopback);
    std::uint8_t buffer[64] = {};
    std::size_t returned = 0;
    ASSERT_EQ(
        reader->IoControl(kIoctlUsbReadSystemPort, nullptr, 0, buffer, sizeof buffer, returned),
        0u);
    EXPECT_EQ(Bytes(buffer, buffer + returned), loopback);
    const std::string record = RecordText();
    EXPECT_NE(
        record.find("D1 00 F0 05 00 78 AA 55 A0 0C\n# D1 firmware upload started (120 bytes)\n"),
        std::string::npos)
        << record;
    EXPECT_NE(record.find("# D1 firmware upload complete (120 bytes)\n"), std::string::npos);
    EXPECT_NE(record.find("# D1 firmware upload started (61 bytes)\n"), std::string::npos);
    EXPECT_NE(record.find("# D1 firmware upload complete (61 bytes)\n"), std::string::npos);
}

TEST_F(ModuleUploadFaceTest, AnAbortedOrOversizedUploadLeavesTheLastWholeImage) {
    ServeWithImage();
    const Bytes whole = Image(61, 3);
    Upload(whole, whole.size());
    // Half an image, then a new start: the first is aborted, nothing half written.
    const Bytes big = Image(200, 4);
    Upload(big, 120);
    EXPECT_EQ(Uploaded(), whole);
    Upload(Image(100, 5), 60);
    WriteSystemPort(*writer_, WithChecksum(Bytes{0x00, 0xF1, 0x3C, 0x01}));  // a checksum error
    Bytes tooMuch{0x00, 0xF1, 0x3C};
    tooMuch.resize(63, 0x11);
    WriteSystemPort(*writer_, WithChecksum(tooMuch));
    EXPECT_EQ(Uploaded(), whole);
    EXPECT_TRUE(face_->TakeUpload());
    EXPECT_FALSE(face_->TakeUpload());
    const std::string record = RecordText();
    EXPECT_NE(
        record.find("# D1 firmware upload aborted (120 bytes of 200 bytes, a new start came)\n"
                    "# D1 firmware upload started (100 bytes)\n"),
        std::string::npos)
        << record;
    EXPECT_NE(
        record.find("# D1 firmware upload oversized (20 bytes past the announced 100 bytes)\n"),
        std::string::npos);
}

TEST_F(ModuleUploadFaceTest, AnUnwritableImageFileIsNotedAndTheUploadStillCounts) {
    ModuleFaceSetup setup;
    setup.uploadImagePath = root_.File("missing/uploaded.TSK");
    Serve(ModuleIdentity{}, setup);
    writer_ = OpenModuleDevice(paths_, kModuleUsbDeviceName, kWrite);
    Upload(Image(61, 6), 61);
    EXPECT_TRUE(face_->TakeUpload());
    const std::string record = RecordText();
    EXPECT_NE(record.find("# D1 firmware upload complete (61 bytes), cannot write " +
                          root_.File("missing/uploaded.TSK") + " (system error 3)\n"),
              std::string::npos)
        << record;
}

// "module expect-upload" waits for each upload in turn and runs out on the clock.
TEST_F(ModuleUploadFaceTest, ThePlayerWaitsForEachUploadInTurn) {
    ServeWithImage();
    Scenario scenario;
    ScenarioError error;
    ASSERT_EQ(ParseScenario("module expect-upload within 60000\n"
                            "module expect-upload within 500\n",
                            scenario, error),
              kScenarioOk)
        << error.message;
    Player player(scenario, Faces{nullptr, face_.get()}, clock_, stop_, 1.0);
    ManualResetEvent finished;
    int result = -1;
    std::string message;
    std::thread playing([&] {
        result = player.Run(message);
        finished.Set();
    });
    ASSERT_TRUE(clock_.AwaitDeadline([](std::int64_t deadlineMs) { return deadlineMs == 60000; }) ==
                60000);
    EXPECT_FALSE(finished.IsSet());
    Upload(Image(120, 7), 120);
    // The first step took that upload; the second waits for another, and runs out.
    ASSERT_EQ(clock_.AwaitDeadline([](std::int64_t deadlineMs) { return deadlineMs == 500; }), 500);
    clock_.AdvanceMs(500);
    RealClock realClock;
    ASSERT_TRUE(WaitFor(realClock, finished, test::kBoundMs));
    playing.join();
    EXPECT_EQ(result, kPlayTimedOut);
    EXPECT_EQ(message, "line 2: no firmware upload completed within 500 ms");
}

}  // namespace
}  // namespace lane::sim
