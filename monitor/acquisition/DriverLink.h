// The monitor's side of the security-module link: the reporter that turns the link's messages
// into trace lines, and the remote-monitor source that the reader's driver mode reads.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "link/TMCB_Support.h"
#include "link/securitymodule.h"
#include "monitor/acquisition/TraceLog.h"

namespace lane::monitor {

// Every message of the monitor's link becomes a plain trace line, while the view exists.
class CDriverTraceReporter final : public link::LinkReporter {
  public:
    explicit CDriverTraceReporter(CTraceLog& trace) : trace_(trace) {}

    void Report(const char*, int, bool, const std::string& text) override {
        if (attached_.load()) {
            trace_.TraceText(text);
        }
    }
    // The view is going: later messages are not traced.
    void Detach() { attached_.store(false); }

  private:
    CTraceLog& trace_;
    std::atomic<bool> attached_{true};
};

// What the reader's driver mode uses of the link: the driver test and one remote-monitor read.
class RemoteMonitorSource {
  public:
    virtual ~RemoteMonitorSource() = default;
    // True while the driver is open; otherwise "USB Driver Not Initialized" has been reported.
    virtual bool DriverInitialized() = 0;
    // One packet of the remote-monitor port into `buffer` (64 bytes), `count` bytes of it; 0 or
    // the read's code.
    [[nodiscard]] virtual int RemoteMonitorPortRead(link::UsbWirePacket& buffer,
                                                    std::size_t& count) = 0;
};

// The link as the reader's source.
class CLinkRemoteMonitorSource final : public RemoteMonitorSource {
  public:
    explicit CLinkRemoteMonitorSource(link::CSecurityModuleLink& link) : link_(link) {}

    bool DriverInitialized() override { return link_.DriverInitialized(); }
    int RemoteMonitorPortRead(link::UsbWirePacket& buffer, std::size_t& count) override {
        return link_.RemoteMonitorPortRead(buffer, count);
    }

  private:
    link::CSecurityModuleLink& link_;
};

}  // namespace lane::monitor
