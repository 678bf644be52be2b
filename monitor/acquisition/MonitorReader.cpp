// The reader thread: reads the remote-monitor stream from its source and hands it to the parser.
#include "monitor/acquisition/MonitorReader.h"

#include <cstdarg>
#include <cstdio>

#include "monitor/acquisition/DriverPacket.h"
#include "platform/SystemError.h"

namespace lane::monitor {

CMonitorReader::~CMonitorReader() {
    Join();
}

void CMonitorReader::StartSimulator(CSimulatorPipe& pipe, ManualResetEvent& stopEvent) {
    heartbeat_.Starting();
    thread_ = std::thread([this, &pipe, &stopEvent] { RunSimulator(pipe, stopEvent); });
}

void CMonitorReader::StartDriver(RemoteMonitorSource& source, ManualResetEvent& stopEvent) {
    heartbeat_.Starting();
    thread_ = std::thread([this, &source, &stopEvent] { RunDriver(source, stopEvent); });
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
    // What the reads bring is handed over in batches, each time before the reader waits.
    trace_.BeginCollecting();
    while (!stopEvent.IsSet()) {
        heartbeat_.Turn();
        if (!SimulatorPass(pipe, stopEvent)) {
            break;
        }
    }
    trace_.EndCollecting();
    heartbeat_.Ended();
}

bool CMonitorReader::SimulatorPass(CSimulatorPipe& pipe, ManualResetEvent& stopEvent) {
    readEvent_.Reset();
    if (!pipe.IsOpen()) {
        trace_.HandOver();
        // Nothing to read from; wait instead of turning the loop into a busy one.
        return !Pause(stopEvent, kFailedReadPauseMs);
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
        case platform::PipeClient::ReadStatus::Pending: {
            // What was read is handed over once the input pauses (or the batch is full).
            int signalled = WaitForRead(stopEvent, trace_.HandOverWaitMs());
            if (signalled == kWaitTimeout) {
                trace_.HandOver();
                signalled = WaitForRead(stopEvent, kInfiniteMs);
            }
            if (signalled == 0) {
                return false;
            }
            if (pipe.GetOverlappedResult(bytesRead, error) && bytesRead > 0) {
                HandleBytes(readBuffer_.data(), bytesRead);
                return true;
            }
            // The pause ends early when the monitor stops.
            return !Pause(stopEvent, kFailedReadPauseMs);
        }
        case platform::PipeClient::ReadStatus::Failed:
            trace_.HandOver();
            break;
    }
    if (error == platform::kErrorPipeNotConnected) {
        // Our addition: the loss and the reconnection are noted, and a frame the lost connection
        // left unfinished goes with it.
        trace_.TraceNote(kPipeLostNote);
        parser_.DiscardUnfinished();
        {
            const Heartbeat::Waiting waiting(heartbeat_);
            pipe.ReopenAfterLoss(stopEvent);
        }
        if (pipe.IsOpen()) {
            trace_.TraceNote(kPipeReopenedNote);
        }
    } else if (error != 0) {
        messageBox_.Show(platform::SystemErrorText(error), "Error",
                         platform::MessageIcon::Information);
    }
    return true;
}

bool CMonitorReader::Pause(ManualResetEvent& stopEvent, std::int64_t pauseMs) {
    const Heartbeat::Waiting waiting(heartbeat_);
    return WaitFor(clock_, stopEvent, pauseMs);
}

int CMonitorReader::WaitForRead(ManualResetEvent& stopEvent, std::int64_t timeoutMs) {
    const Heartbeat::Waiting waiting(heartbeat_);
    return WaitForAny(clock_, {&stopEvent, &readEvent_}, timeoutMs);
}

void CMonitorReader::Trace(const char* format, ...) {
    char text[kTraceMessageMax + 1];
    std::va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    trace_.TraceText(text);
}

void CMonitorReader::RunDriver(RemoteMonitorSource& source, ManualResetEvent& stopEvent) {
    trace_.BeginCollecting();
    while (!stopEvent.IsSet()) {
        heartbeat_.Turn();
        if (!DriverPass(source, stopEvent)) {
            break;
        }
    }
    trace_.EndCollecting();
    heartbeat_.Ended();
}

bool CMonitorReader::DriverPass(RemoteMonitorSource& source, ManualResetEvent& stopEvent) {
    if (!source.DriverInitialized()) {
        // The driver was closed (the link shut-down of the stop) or never opened.
        Pause(stopEvent, kDriverNotInitializedPauseMs);
        return false;
    }
    // Each packet's lines and messages are handed over before the read waits for the next one.
    trace_.HandOver();
    packetBuffer_.fill(0);
    std::size_t count = 0;
    int readRC = 0;
    {
        const Heartbeat::Waiting waiting(heartbeat_);
        readRC = source.RemoteMonitorPortRead(packetBuffer_, count);
    }
    if (readRC != 0) {
        Trace("Error Reading from Security Module: readRC = 0x%x", static_cast<unsigned>(readRC));
        return true;
    }
    HandleDriverPacket(packetBuffer_, count, stopEvent);
    return true;
}

void CMonitorReader::HandleDriverPacket(const link::UsbWirePacket& buffer, std::size_t count,
                                        ManualResetEvent& stopEvent) {
    const unsigned da = buffer[0];
    const unsigned dc = buffer[1];
    const unsigned dl = buffer[2];
    switch (CheckDriverPacket(buffer, count)) {
        case DriverPacketCheck::Empty:
            Pause(stopEvent, kEmptyPacketPauseMs);
            return;
        case DriverPacketCheck::BadSize:
            // The letters l follow the numbers, as the format has always printed them.
            Trace("Bad Packet Size Received from Security Module, Size = %ul - ( %ul requested )",
                  static_cast<unsigned>(count), static_cast<unsigned>(kRemoteMonitorRequestSize));
            Pause(stopEvent, kBadPacketSizePauseMs);
            return;
        case DriverPacketCheck::InvalidAddress:
            Trace(
                "ERROR: Invalid Device Address Data Received From Security Module( DA:%u, DC:%u, "
                "DL:%u )",
                da, dc, dl);
            Pause(stopEvent, kBadPacketPauseMs);
            return;
        case DriverPacketCheck::PortOpened:
            Trace("Remote Monitor Port (0x%x) Opened",
                  static_cast<unsigned>(link::kRemoteMonitorPort));
            return;
        case DriverPacketCheck::PortClosed:
            Trace("Remote Monitor Port (0x%x) Closed",
                  static_cast<unsigned>(link::kRemoteMonitorPort));
            return;
        case DriverPacketCheck::PortData:
            Trace("USB Data Packet Received...Length = %u", dl);
            HandleBytes(buffer.data() + link::kWireHeaderSize, dl);
            return;
        case DriverPacketCheck::LengthOverrun:
            // Our addition: the data would lie past the bytes received, so none of it is taken.
            Trace(
                "Bad Packet Length / Size Received from Security Module, Size = %d, ( DA:%u, "
                "DC:%u, DL:%u )",
                static_cast<int>(count), da, dc, dl);
            Pause(stopEvent, kBadPacketPauseMs);
            return;
        case DriverPacketCheck::InvalidCommand:
            Trace(
                "ERROR: Invalid Device Command Data Received From Security Module( DA:%u, DC:%u, "
                "DL:%u )",
                static_cast<unsigned>(link::kRemoteMonitorPort), dc, dl);
            Pause(stopEvent, kBadPacketPauseMs);
            return;
    }
}

}  // namespace lane::monitor
