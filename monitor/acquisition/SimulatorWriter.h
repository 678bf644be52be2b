// The simulator writer thread: sends the queued start and stop messages down the pipe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "common/Clock.h"
#include "common/Waitable.h"
#include "monitor/acquisition/MonitorMessage.h"
#include "monitor/acquisition/SimulatorPipe.h"

namespace lane::monitor {

class CSimulatorWriter {
  public:
    CSimulatorWriter(Clock& clock, CSimulatorPipe& pipe) : clock_(clock), pipe_(pipe) {}
    ~CSimulatorWriter();

    void Start(ManualResetEvent& stopEvent);
    void Join();
    bool Running() const { return thread_.joinable(); }

    // SendToSimulator: queues the bytes (at most 128) and wakes the writer.
    void SendToSimulator(const std::uint8_t* bytes, std::size_t count);
    // Waits until the writer has taken everything queued, at most `timeoutMs`.
    bool WaitUntilSent(std::int64_t timeoutMs);
    // Frees what is still queued (after the writer has ended).
    void DiscardQueued();

    ManualResetEvent outgoingEvent;

  private:
    void Run(ManualResetEvent& stopEvent);

    Clock& clock_;
    CSimulatorPipe& pipe_;
    std::mutex outgoingLock_;
    std::deque<std::unique_ptr<MonitorMessage>> outgoing_;
    ManualResetEvent sentEvent_{true};
    std::thread thread_;
};

}  // namespace lane::monitor
