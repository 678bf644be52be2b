// The reader thread: reads the remote-monitor stream from its source and hands it to the parser.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "common/Clock.h"
#include "common/Waitable.h"
#include "monitor/acquisition/SimulatorPipe.h"
#include "monitor/acquisition/StreamParser.h"
#include "monitor/acquisition/TraceLog.h"
#include "platform/MessageBox.h"

namespace lane::monitor {

inline constexpr std::size_t kPipeReadSize = 100;
inline constexpr std::int64_t kFailedReadPauseMs = 250;

class CMonitorReader {
  public:
    CMonitorReader(Clock& clock, CTraceLog& trace, CStreamParser& parser,
                   platform::MessageBoxService& messageBox)
        : clock_(clock), trace_(trace), parser_(parser), messageBox_(messageBox) {}
    ~CMonitorReader();

    // Simulator mode: reads the pipe until `stopEvent` is set.
    void StartSimulator(CSimulatorPipe& pipe, ManualResetEvent& stopEvent);
    void Join();

    // Received bytes: the count line, the raw-input line, then the parse.
    void HandleBytes(const std::uint8_t* bytes, std::size_t count);

  private:
    void RunSimulator(CSimulatorPipe& pipe, ManualResetEvent& stopEvent);
    // One pass of the loop; false when the thread is to end.
    bool SimulatorPass(CSimulatorPipe& pipe, ManualResetEvent& stopEvent);

    Clock& clock_;
    CTraceLog& trace_;
    CStreamParser& parser_;
    platform::MessageBoxService& messageBox_;
    ManualResetEvent readEvent_;
    std::array<std::uint8_t, kPipeReadSize> readBuffer_{};
    std::thread thread_;
};

}  // namespace lane::monitor
