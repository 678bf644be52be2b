// The reader thread: reads the remote-monitor stream from its source (the simulator pipe or the
// security module's driver) and hands it to the parser.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "common/Clock.h"
#include "common/Heartbeat.h"
#include "common/Waitable.h"
#include "link/TMCB_Support.h"
#include "monitor/acquisition/DriverLink.h"
#include "monitor/acquisition/SimulatorPipe.h"
#include "monitor/acquisition/StreamParser.h"
#include "monitor/acquisition/TraceLog.h"
#include "platform/MessageBox.h"

namespace lane::monitor {

inline constexpr std::size_t kPipeReadSize = 100;
// Trace notes of a lost simulator pipe.
inline constexpr const char* kPipeLostNote = "Simulator pipe lost (error 233); reopening it";
inline constexpr const char* kPipeReopenedNote = "Simulator pipe reopened";
inline constexpr std::int64_t kFailedReadPauseMs = 250;

// Driver mode's pauses, by the clock; each ends early when the stop event is set.
inline constexpr std::int64_t kDriverNotInitializedPauseMs = 500;  // then the reader ends
inline constexpr std::int64_t kEmptyPacketPauseMs = 1000;          // a read that brought nothing
inline constexpr std::int64_t kBadPacketSizePauseMs = 250;         // below 3 or above 64 bytes
inline constexpr std::int64_t kBadPacketPauseMs = 1000;  // wrong address, command or length
// A remote-monitor read waits for the module without limit (the link's rule) and is not retried:
// the next pass simply reads again.

class CMonitorReader {
  public:
    CMonitorReader(Clock& clock, CTraceLog& trace, CStreamParser& parser,
                   platform::MessageBoxService& messageBox)
        : clock_(clock), trace_(trace), parser_(parser), messageBox_(messageBox) {}
    ~CMonitorReader();

    // Simulator mode: reads the pipe until `stopEvent` is set.
    void StartSimulator(CSimulatorPipe& pipe, ManualResetEvent& stopEvent);
    // Driver mode: reads remote-monitor packets until `stopEvent` is set or the driver is found
    // closed (after the link shut-down).
    void StartDriver(RemoteMonitorSource& source, ManualResetEvent& stopEvent);
    void Join();
    // The reader's heartbeat: a turn per pass, waiting while it waits for the source or a pause.
    const Heartbeat& ReaderHeartbeat() const { return heartbeat_; }

    // Received bytes: the count line, the raw-input line, then the parse.
    void HandleBytes(const std::uint8_t* bytes, std::size_t count);
    // Driver mode: the checks of one remote-monitor packet of `count` bytes, its trace lines,
    // the pause after a packet that is dropped, and the hand-over of port data to the parser.
    // A DL that claims more bytes than were read is traced as a bad length and dropped.
    void HandleDriverPacket(const link::UsbWirePacket& buffer, std::size_t count,
                            ManualResetEvent& stopEvent);

  private:
    void RunSimulator(CSimulatorPipe& pipe, ManualResetEvent& stopEvent);
    // One pass of the loop; false when the thread is to end.
    bool SimulatorPass(CSimulatorPipe& pipe, ManualResetEvent& stopEvent);
    void RunDriver(RemoteMonitorSource& source, ManualResetEvent& stopEvent);
    bool DriverPass(RemoteMonitorSource& source, ManualResetEvent& stopEvent);
    // Waits for the stop or the end of the pause, as waiting; true when the stop came.
    bool Pause(ManualResetEvent& stopEvent, std::int64_t pauseMs);
    // Waits for the stop (0) or the pending read (1), as waiting; kWaitTimeout after timeoutMs.
    int WaitForRead(ManualResetEvent& stopEvent, std::int64_t timeoutMs);
    // The trace line of a printf format.
    [[gnu::format(printf, 2, 3)]] void Trace(const char* format, ...);

    Clock& clock_;
    CTraceLog& trace_;
    CStreamParser& parser_;
    platform::MessageBoxService& messageBox_;
    ManualResetEvent readEvent_;
    std::array<std::uint8_t, kPipeReadSize> readBuffer_{};
    link::UsbWirePacket packetBuffer_{};
    Heartbeat heartbeat_;
    std::thread thread_;
};

}  // namespace lane::monitor
