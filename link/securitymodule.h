// The link dispatcher: link start-up and shut-down for the configured board, packet writes,
// the receive queue and FormatAndSendDataToSecurityModule. One object per process, made by main.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/Clock.h"
#include "link/LinkConfig.h"
#include "link/LinkContext.h"
#include "link/ReceiveQueue.h"
#include "link/TMCB_Support.h"
#include "link/USB_Standalone.h"
#include "link/tmcb_standalone.h"
#include "platform/LanePath.h"

namespace lane::link {

// One look at the receive queue is followed by this wait while the wait count lasts.
inline constexpr std::int64_t kReadPacketWaitStepMs = 100;

class CSecurityModuleLink final : public LinkSender {
  public:
    // `reporter`, `clock` and `paths` outlive the link; so do the threads that call it.
    CSecurityModuleLink(const LinkConfig& config, LinkReporter& reporter, Clock& clock,
                        const platform::LanePaths& paths);
    CSecurityModuleLink(const CSecurityModuleLink&) = delete;
    CSecurityModuleLink& operator=(const CSecurityModuleLink&) = delete;

    // Utility: starts the board's reader threads and opens its driver. Monitor: opens the driver
    // and opens port 7.
    [[nodiscard]] int StartUpSecurityModule();
    // Utility: closes the board's driver (reader threads end with the link). Monitor: closes
    // port 7 and the driver.
    [[nodiscard]] int ShutDownSecurityModule();

    [[nodiscard]] int WritePacketToSecurityModule(const LinkPacket& packet);
    // Takes the oldest received packet, looking max(waitCount, 1) times with a 100 ms wait
    // after each look while the count lasts; false when none came.
    [[nodiscard]] bool ReadPacketFromSecurityModule(LinkPacket& packet, int waitCount);
    [[nodiscard]] int FormatAndSendDataToSecurityModule(std::uint8_t port, std::uint8_t command,
                                                        std::string_view text) override;

    // The monitor's reader: the driver test and one remote-monitor packet.
    bool DriverInitialized() { return usb_.DriverInitialized(); }
    [[nodiscard]] int RemoteMonitorPortRead(UsbWirePacket& buffer, std::size_t& count) {
        return usb_.RemoteMonitorPortRead(buffer, count);
    }

    // The utility's packet-dump switch: each written packet is logged as "Data Out:...".
    void SetPacketDump(bool on) { packetDump_.store(on); }

    const LinkConfig& Config() const { return config_; }
    CUsbStandalone& Usb() { return usb_; }
    CTmcbStandalone& Tmcb() { return tmcb_; }
    CReceiveQueue& Queue() { return queue_; }

  private:
    int StartUpUtility();
    int StartUpMonitor();
    int WriteUtilityPacket(const LinkPacket& packet);
    // Fills `packet` for `command`; 0, or the refusal's code (reported).
    int BuildPacket(std::uint8_t port, std::uint8_t command, std::string_view text,
                    LinkPacket& packet);
    void ReportPacketOut(const LinkPacket& packet);

    const LinkConfig config_;
    const LinkContext context_;
    CLinkLog log_;
    std::atomic<bool> packetDump_{false};
    CReceiveQueue queue_;
    CUsbStandalone usb_;
    CTmcbStandalone tmcb_;
};

}  // namespace lane::link
