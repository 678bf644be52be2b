// A utility run over a USB link to the fake driver of the link tests, without reader threads:
// the test puts the module's replies straight into the link's queue and reads back the packets
// the utility wrote.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Moxtel/UtilityRun.h"
#include "link/LinkConfig.h"
#include "link/TMCB_Support.h"
#include "link/securitymodule.h"
#include "tests/Moxtel/MoxtelTestSupport.h"
#include "tests/link/LinkTestSupport.h"

namespace lane::moxtel::test {

using link::test::Bytes;

// A port-data packet from `port` carrying `data`.
inline link::LinkPacket PortData(std::uint8_t port, const std::string& data) {
    link::LinkPacket packet;
    packet.DA = port;
    packet.DC = link::TMCB_DC_PORT_DATA;
    packet.DL = static_cast<std::uint8_t>(data.size());
    for (std::size_t i = 0; i < data.size() && i < packet.data.size(); ++i) {
        packet.data[i] = static_cast<std::uint8_t>(data[i]);
    }
    return packet;
}

// A packet as the USB driver receives it: DA, DC, DL, data and the checksum.
inline Bytes Wire(std::uint8_t port, std::uint8_t command, const std::string& data) {
    Bytes bytes{port, command, static_cast<std::uint8_t>(data.size())};
    for (const char c : data) {
        bytes.push_back(static_cast<std::uint8_t>(c));
    }
    return link::test::WithChecksum(bytes);
}

class ModuleLinkRig : public LaneFixture {
  protected:
    // `board`: the configured board type; the link itself is the USB one either way.
    explicit ModuleLinkRig(const std::string& board = "USB_SECURITY_MODULE") {
        SetBoardType(board);
        static_cast<void>(rig.config.Access(rig.log));
        EXPECT_EQ(rig.config.LoadResult(), 0) << board;
        EXPECT_TRUE(driver.Listening());
        EXPECT_EQ(link.Usb().OpenDriver(), 0);
    }

    void Queue(const link::LinkPacket& packet) { link.Queue().Add(packet); }

    // The packets written so far, as the driver received them.
    std::vector<Bytes> Written() const {
        std::vector<Bytes> written;
        for (const auto& seen : driver.Requests(platform::DeviceRequestKind::Write)) {
            written.push_back(seen.input);
        }
        return written;
    }

    // Runs `work`, moving the clock on to the end of each of its waits; from the wait at which
    // `failFromWrite` would be the next write (1 for the first), every write fails. 0: none
    // fails.
    void Drive(const std::function<void()>& work, std::size_t failFromWrite = 0) {
        if (failFromWrite == 1) {
            driver.SetWriteResult(kWriteFailure);
        }
        std::atomic<bool> done{false};
        // Counted before the work starts: its first wait may begin before this thread looks.
        std::uint64_t seen = clock.WaitsBegun();
        std::thread worker([&] {
            work();
            done.store(true);
        });
        // One wait at a time: when the work has begun a new wait, time moves on to its deadline.
        while (!done.load()) {
            if (!clock.AwaitWaitAfter(seen, 10)) {
                continue;
            }
            seen = clock.WaitsBegun();
            const std::vector<Bytes> written = Written();
            for (; answered_ < written.size(); ++answered_) {
                if (respond) {
                    respond(written[answered_]);
                }
            }
            if (failFromWrite > 1 && written.size() + 1 >= failFromWrite) {
                driver.SetWriteResult(kWriteFailure);
            }
            const std::int64_t deadline = clock.EarliestDeadlineMs();
            if (deadline != kInfiniteMs && deadline > clock.TickMs()) {
                clock.AdvanceMs(deadline - clock.TickMs());
            }
        }
        worker.join();
    }

    // Plays the module: called, while the utility waits, with each packet it wrote since.
    std::function<void(const Bytes& written)> respond;

    std::string CaptureNow() {
        rig.capture.Flush();
        return Capture();
    }

    static constexpr std::uint32_t kWriteFailure = 31;

    LogRig rig{clock, console, paths, registry};
    CUtilityLinkReporter reporter{rig.log};
    link::test::FakeDriver driver{paths, "SecModuleDevice0"};
    link::CSecurityModuleLink link{
        link::LinkConfig{link::LinkRole::Utility, link::kBoardTypeUsb, 0}, reporter, clock, paths};
    UtilityOptions options;
    SecurityModuleIdentity identity;
    BillAcceptorIdentity billAcceptor;
    std::function<void(int)> endProcess = EndProcess();
    UtilityRun run{rig.log, rig.config, options,      link,       console,
                   clock,   identity,   billAcceptor, endProcess, paths};

  private:
    std::size_t answered_ = 0;
};

}  // namespace lane::moxtel::test
