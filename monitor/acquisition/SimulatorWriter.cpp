// The simulator writer thread: sends the queued start and stop messages down the pipe.
#include "monitor/acquisition/SimulatorWriter.h"

#include <algorithm>
#include <cstring>

namespace lane::monitor {

CSimulatorWriter::~CSimulatorWriter() {
    Join();
}

void CSimulatorWriter::Start(ManualResetEvent& stopEvent) {
    thread_ = std::thread([this, &stopEvent] { Run(stopEvent); });
}

void CSimulatorWriter::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void CSimulatorWriter::SendToSimulator(const std::uint8_t* bytes, std::size_t count) {
    auto message = std::make_unique<MonitorMessage>();
    const std::size_t kept = std::min<std::size_t>(count, kMonitorMessageDataSize);
    std::memcpy(message->data.data(), bytes, kept);
    message->length = static_cast<std::int32_t>(kept);
    {
        std::lock_guard<std::mutex> lock(outgoingLock_);
        outgoing_.push_back(std::move(message));
        sentEvent_.Reset();
    }
    outgoingEvent.Set();
}

bool CSimulatorWriter::WaitUntilSent(std::int64_t timeoutMs) {
    return WaitFor(clock_, sentEvent_, timeoutMs);
}

void CSimulatorWriter::DiscardQueued() {
    std::lock_guard<std::mutex> lock(outgoingLock_);
    outgoing_.clear();
    sentEvent_.Set();
}

void CSimulatorWriter::Run(ManualResetEvent& stopEvent) {
    for (;;) {
        if (WaitForAny(clock_, {&stopEvent, &outgoingEvent}, kInfiniteMs) == 0) {
            return;
        }
        {
            std::lock_guard<std::mutex> lock(outgoingLock_);
            while (!outgoing_.empty()) {
                const MonitorMessage& message = *outgoing_.front();
                // A failed write is not reported: the simulator may be gone already.
                (void)pipe_.Write(message.data.data(), static_cast<std::size_t>(message.length));
                outgoing_.pop_front();
            }
            outgoingEvent.Reset();
            sentEvent_.Set();
        }
    }
}

}  // namespace lane::monitor
