// The link tests' fixture: a link of either program over fake drivers in a lane root of its own.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "link/securitymodule.h"
#include "tests/link/LinkTestSupport.h"

namespace lane::link::test {

using platform::DeviceRequestKind;

class LinkFixture : public ::testing::Test {
  protected:
    // "\\.\SecModuleDevice0", with the system-port and remote-monitor reads held until data.
    FakeDriver& ServeUsb() {
        usbDriver_.reset();  // one server per device name at a time
        usbDriver_ = std::make_unique<FakeDriver>(root_.Paths(), "SecModuleDevice0");
        EXPECT_TRUE(usbDriver_->Listening());
        usbDriver_->HoldControl(SECMODULE_IOCTL_USB_READ_SYSTEM_PORT_LANE_MANAGER);
        usbDriver_->HoldControl(SECMODULE_IOCTL_USB_READ_REMOTE_MONITOR_PORT);
        return *usbDriver_;
    }
    // "\\.\TMCB", with its packet reads held until data.
    FakeDriver& ServeTmcb() {
        tmcbDriver_.reset();
        tmcbDriver_ = std::make_unique<FakeDriver>(root_.Paths(), "TMCB");
        EXPECT_TRUE(tmcbDriver_->Listening());
        tmcbDriver_->HoldControl(TMCB_IOCTL_READ_PACKET);
        return *tmcbDriver_;
    }

    CSecurityModuleLink& MakeLink(LinkRole role, int boardType = kBoardTypeUsb, int scaleType = 0) {
        link_.reset();
        link_ = std::make_unique<CSecurityModuleLink>(LinkConfig{role, boardType, scaleType},
                                                      reporter_, clock_, root_.Paths());
        return *link_;
    }

    // A link whose USB driver is open, without reader threads.
    CSecurityModuleLink& OpenUsbLink(LinkRole role) {
        CSecurityModuleLink& link = MakeLink(role);
        EXPECT_EQ(link.Usb().OpenDriver(), 0);
        reporter_.Clear();
        return link;
    }

    // Moves the clock on in `stepMs` steps until `done` says so; false when it never did.
    bool AdvanceUntil(const std::function<bool()>& done, std::int64_t stepMs) {
        constexpr int kMaxSteps = 200;
        for (int step = 0; step < kMaxSteps; ++step) {
            if (done()) {
                return true;
            }
            clock_.AdvanceMs(stepMs);
        }
        return done();
    }

    // Lets the `waitNumber`-th clock wait begin, then moves the clock on by `stepMs`.
    void AdvanceAfterWait(int waitNumber, std::int64_t stepMs) {
        ASSERT_TRUE(clock_.AwaitWaitsBegun(waitNumber));
        clock_.AdvanceMs(stepMs);
    }

    template <typename Result>
    static bool Finished(std::future<Result>& result) {
        return result.wait_for(std::chrono::milliseconds(kBoundMs)) == std::future_status::ready;
    }

    // The payloads of the driver's requests of `kind` (and `code`): writes' and controls' input,
    // or a control's output buffer when `output` is set.
    static std::vector<Bytes> Sent(const FakeDriver& driver, DeviceRequestKind kind,
                                   std::uint32_t code = 0, bool output = false) {
        std::vector<Bytes> sent;
        for (const auto& seen : driver.Requests(kind, code)) {
            sent.push_back(output ? seen.output : seen.input);
        }
        return sent;
    }

    TemporaryRoot root_;
    RecordingReporter reporter_;
    CountingClock clock_;
    std::unique_ptr<FakeDriver> usbDriver_;
    std::unique_ptr<FakeDriver> tmcbDriver_;
    std::unique_ptr<CSecurityModuleLink> link_;
};

}  // namespace lane::link::test
