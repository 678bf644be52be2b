// lanesim's end of the simulator pipe: takes the monitor's connections one at a time, writes
// packets to the current one and records everything the monitor writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "common/Clock.h"
#include "common/Waitable.h"
#include "platform/NamedPipe.h"
#include "sim/Record.h"

namespace lane::sim {

// The simulator pipe's name, "\\.\pipe\OrvelSim".
inline constexpr const char* kSimulatorPipeName = "OrvelSim";

class PipeFace {
  public:
    // Starts accepting on `server` at once; connections wait in turn until taken.
    PipeFace(std::unique_ptr<platform::PipeServer> server, RecordWriter& record);
    // Stops accepting and closes every connection.
    ~PipeFace();
    PipeFace(const PipeFace&) = delete;
    PipeFace& operator=(const PipeFace&) = delete;

    enum AwaitResult : int { kConnected = 0, kStopped = 1, kTimedOut = 2 };

    // Returns at once while the current connection is open. Otherwise lets go of a connection
    // that was dropped or closed by the monitor and waits (on `clock`, up to `timeoutMs`,
    // kInfiniteMs for no limit) for the next one, or for `stop`.
    [[nodiscard]] AwaitResult AwaitConnection(Clock& clock, Waitable& stop, std::int64_t timeoutMs);
    // True while there is a current connection that neither side has closed.
    bool IsOpen() const;
    // Writes one packet to the current connection. False when there is none or the monitor has
    // gone; the connection then counts as closed by the monitor.
    [[nodiscard]] bool Send(const std::vector<std::uint8_t>& packet);
    // Closes the current connection on our side.
    void Drop();
    // Looks for `bytes` among those the current connection received after the previous match;
    // when found, the next search starts after them. When not found, Activity() is reset.
    bool TakeMatch(const std::vector<std::uint8_t>& bytes);
    // Set when the current connection receives bytes or the monitor closes it.
    Waitable& Activity() { return activity_; }
    // Set when the monitor closes the current connection.
    Waitable& PartnerGone() { return partnerGone_; }
    // Number of the current (or last) connection, counting from 1; 0 before the first.
    int ConnectionNumber() const;

  private:
    void AcceptLoop();
    void ReceiveLoop(platform::PipeConnection& connection, int number);
    void MarkPartnerClosed(int number);
    void CloseOurSide(std::string_view note);
    void Retire();

    std::unique_ptr<platform::PipeServer> server_;
    RecordWriter& record_;
    std::thread acceptor_;

    // The current connection and its receiver belong to the player's thread.
    std::unique_ptr<platform::PipeConnection> current_;
    std::thread receiver_;

    mutable std::mutex mutex_;  // guards what follows
    std::deque<std::unique_ptr<platform::PipeConnection>> waiting_;
    ManualResetEvent connectionWaiting_;
    int number_ = 0;
    bool partnerClosed_ = false;
    bool closedHere_ = false;
    std::vector<std::uint8_t> received_;
    std::size_t matchFrom_ = 0;
    ManualResetEvent activity_;
    ManualResetEvent partnerGone_;
};

}  // namespace lane::sim
