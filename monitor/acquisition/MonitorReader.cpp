// The reader thread: reads the remote-monitor stream from its source and hands it to the parser.
#include "monitor/acquisition/MonitorReader.h"

#include <cstdio>

#include "platform/SystemError.h"

namespace lane::monitor {

CMonitorReader::~CMonitorReader() {
    Join();
}

void CMonitorReader::StartSimulator(CSimulatorPipe& pipe, ManualResetEvent& stopEvent) {
    thread_ = std::thread([this, &pipe, &stopEvent] { RunSimulator(pipe, stopEvent); });
}

void CMonitorReader::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void CMonitorReader::HandleBytes(const std::uint8_t* bytes, std::size_t count) {
    char text[48];
    std::snprintf(text, sizeof text, "%d bytes rec'd from SecMod", static_cast<int>(count));
    trace_.TraceText(text);
    parser_.Append(bytes, count);
    trace_.TraceRawInput(bytes, count);
    parser_.ParseMonitorStream();
}

void CMonitorReader::RunSimulator(CSimulatorPipe& pipe, ManualResetEvent& stopEvent) {
    while (!stopEvent.IsSet()) {
        if (!SimulatorPass(pipe, stopEvent)) {
            return;
        }
    }
}

bool CMonitorReader::SimulatorPass(CSimulatorPipe& pipe, ManualResetEvent& stopEvent) {
    readEvent_.Reset();
    if (!pipe.IsOpen()) {
        // Nothing to read from; wait instead of turning the loop into a busy one.
        return !WaitFor(clock_, stopEvent, kFailedReadPauseMs);
    }
    std::size_t bytesRead = 0;
    std::uint32_t error = 0;
    const auto status =
        pipe.ReadOverlapped(readBuffer_.data(), readBuffer_.size(), readEvent_, bytesRead, error);
    switch (status) {
        case platform::PipeClient::ReadStatus::Completed:
            if (bytesRead > 0) {
                HandleBytes(readBuffer_.data(), bytesRead);
            }
            return true;
        case platform::PipeClient::ReadStatus::Pending:
            if (WaitForAny(clock_, {&stopEvent, &readEvent_}, kInfiniteMs) == 0) {
                return false;
            }
            if (pipe.GetOverlappedResult(bytesRead, error) && bytesRead > 0) {
                HandleBytes(readBuffer_.data(), bytesRead);
                return true;
            }
            // The pause ends early when the monitor stops.
            return !WaitFor(clock_, stopEvent, kFailedReadPauseMs);
        case platform::PipeClient::ReadStatus::Failed:
            break;
    }
    if (error == platform::kErrorPipeNotConnected) {
        pipe.ReopenAfterLoss(stopEvent);
    } else if (error != 0) {
        messageBox_.Show(platform::SystemErrorText(error), "Error",
                         platform::MessageIcon::Information);
    }
    return true;
}

}  // namespace lane::monitor
