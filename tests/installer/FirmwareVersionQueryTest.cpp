// Tests of the firmware version query: the registry check, the packets, the reply bound.
#include "installer/FirmwareVersionQuery.h"

#include <gtest/gtest.h>

#include <future>
#include <string>

#include "common/FakeClock.h"
#include "tests/installer/FakeModule.h"
#include "tests/installer/InstallerTestSupport.h"
#include "tests/support/TempLaneRoot.h"

namespace lane::quillan {
namespace {

using test::Bytes;

class FirmwareVersionQueryTest : public ::testing::Test {
  protected:
    void SetBoard(const std::string& board) {
        ASSERT_EQ(registry_.SetValue(kLaneKey, kSecurityModuleTypeValue,
                                     platform::RegValue::String(board)),
                  0u);
    }
    int Query(Clock& replyClock) {
        const VersionQueryServices services{paths_, registry_, clock_, replyClock,
                                            [this](const std::string& text) { output_ += text; }};
        return QueryFirmwareVersion(services);
    }
    int Query() { return Query(stillClock_); }

    testing::TempLaneRoot root_;
    platform::LanePaths paths_{root_.Path()};
    platform::Registry registry_{platform::Registry::DefaultHivePath(paths_)};
    test::SkippingClock clock_;
    FakeClock stillClock_;  // the reply bound never runs out
    std::string output_;
};

TEST_F(FirmwareVersionQueryTest, ALaneWithoutTheUsbModuleIsNotAsked) {
    test::FakeModule module(paths_, 447);
    ASSERT_TRUE(module.Started());
    EXPECT_EQ(Query(), 0);  // no value at all
    SetBoard("TMCB");
    EXPECT_EQ(Query(), 0);
    SetBoard("usb_security_module");  // the comparison is exact
    EXPECT_EQ(Query(), 0);
    EXPECT_EQ(output_,
              "TMCB Security Module, Can NOT Upload Firmware\n"
              "TMCB Security Module, Can NOT Upload Firmware\n"
              "TMCB Security Module, Can NOT Upload Firmware\n");
    EXPECT_TRUE(module.Written().empty());
}

TEST_F(FirmwareVersionQueryTest, AsksOnPort6AndReadsTheVersionFromItsReply) {
    SetBoard("USB_SECURITY_MODULE");
    test::FakeModule module(paths_, 447);
    ASSERT_TRUE(module.Started());
    EXPECT_EQ(Query(), 447);
    EXPECT_TRUE(output_.empty());
    EXPECT_EQ(module.Written(), (std::vector<Bytes>{{0x06, 0x02, 0x00, 0x08},
                                                    {0x06, 0x06, 0x02, 'Z', '2', 0x9A},
                                                    {0x06, 0x06, 0x02, 'Z', '4', 0x9C},
                                                    {0x06, 0x03, 0x00, 0x09}}));
    const platform::DeviceOpenMode mode = module.Mode();
    EXPECT_EQ(mode.desiredAccess, platform::kDeviceGenericRead | platform::kDeviceGenericWrite);
    EXPECT_EQ(mode.shareMode, platform::kDeviceShareRead);
    EXPECT_EQ(mode.flags, 0u);
    EXPECT_EQ(clock_.Waits(), (std::vector<std::int64_t>{200, 50, 50, 200}));
}

TEST_F(FirmwareVersionQueryTest, VersionsBelow310CountAsUnknown) {
    SetBoard("USB_SECURITY_MODULE");
    for (const auto& [version, reported] :
         std::vector<std::pair<int, int>>{{309, 0}, {310, 310}, {464, 464}, {999, 999}}) {
        test::FakeModule module(paths_, version);
        ASSERT_TRUE(module.Started());
        EXPECT_EQ(Query(), reported) << version;
    }
}

TEST_F(FirmwareVersionQueryTest, NoDriverMeansVersionZero) {
    SetBoard("USB_SECURITY_MODULE");
    EXPECT_EQ(Query(), 0);
}

TEST_F(FirmwareVersionQueryTest, AModuleThatNeverAnswersEndsTheQueryAtTheBound) {
    SetBoard("USB_SECURITY_MODULE");
    test::FakeModule module(paths_, 447, false);
    ASSERT_TRUE(module.Started());
    FakeClock replyClock;
    auto query = std::async(std::launch::async, [&] { return Query(replyClock); });
    ASSERT_EQ(replyClock.AwaitDeadline([](std::int64_t due) { return due == kReplyBoundMs; }),
              kReplyBoundMs);
    replyClock.AdvanceMs(kReplyBoundMs - 1);
    EXPECT_EQ(query.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    replyClock.AdvanceMs(1);
    EXPECT_EQ(query.get(), 0);
    // Open and version request only: nothing is sent once the bound has closed the handle.
    EXPECT_EQ(module.Written().size(), 2u);
}

TEST(FirmwareVersionReply, DigitsAreTakenFromBytes6To8) {
    const std::uint8_t reply[] = {6, 6, 14, 'z', '2', '0', '4', '4', '7', '0', '1'};
    EXPECT_TRUE(ReplyMatches(reply, sizeof reply, '2'));
    EXPECT_FALSE(ReplyMatches(reply, sizeof reply, '4'));
    EXPECT_FALSE(ReplyMatches(reply, 4, '2'));
    EXPECT_EQ(VersionFromReply(reply, sizeof reply), 447);
    EXPECT_EQ(VersionFromReply(reply, 8), 44);  // a short reply gives what it holds
    const std::uint8_t damaged[] = {6, 6, 14, 'z', '2', '0', '3', 'x', '9'};
    EXPECT_EQ(VersionFromReply(damaged, sizeof damaged), 3);
    const std::uint8_t upper[] = {6, 6, 14, 'Z', '2', '0', '4', '4', '7'};
    EXPECT_FALSE(ReplyMatches(upper, sizeof upper, '2'));
}

}  // namespace
}  // namespace lane::quillan
