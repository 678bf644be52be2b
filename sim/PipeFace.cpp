// lanesim's end of the simulator pipe: accepting, sending, receiving and recording.
#include "sim/PipeFace.h"

#include <algorithm>
#include <utility>

#include "sim/Scenario.h"

namespace lane::sim {

namespace {

// Bytes one receive takes at most.
constexpr std::size_t kReceiveChunkBytes = 4096;
// Received bytes kept for matching; past this the oldest go, keeping enough for any pattern.
constexpr std::size_t kMaxHeldBytes = 1 << 20;

}  // namespace

PipeFace::PipeFace(std::unique_ptr<platform::PipeServer> server, RecordWriter& record)
    : server_(std::move(server)), record_(record) {
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

PipeFace::~PipeFace() {
    server_->Shutdown();
    acceptor_.join();
    CloseOurSide("closed at the end");
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.clear();
}

void PipeFace::AcceptLoop() {
    for (;;) {
        std::unique_ptr<platform::PipeConnection> connection = server_->Accept(-1);
        if (!connection) {
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_.push_back(std::move(connection));
        connectionWaiting_.Set();
    }
}

PipeFace::AwaitResult PipeFace::AwaitConnection(Clock& clock, Waitable& stop,
                                                std::int64_t timeoutMs) {
    if (IsOpen()) {
        return kConnected;
    }
    Retire();
    const std::int64_t deadlineMs =
        timeoutMs == kInfiniteMs ? kInfiniteMs : clock.TickMs() + timeoutMs;
    std::unique_ptr<platform::PipeConnection> next;
    while (!next) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!waiting_.empty()) {
                next = std::move(waiting_.front());
                waiting_.pop_front();
                break;
            }
            connectionWaiting_.Reset();
        }
        const std::int64_t leftMs = deadlineMs == kInfiniteMs
                                        ? kInfiniteMs
                                        : std::max<std::int64_t>(0, deadlineMs - clock.TickMs());
        const int woken = WaitForAny(clock, {&stop, &connectionWaiting_}, leftMs);
        if (woken == 0) {
            return kStopped;
        }
        if (woken == kWaitTimeout) {
            return kTimedOut;
        }
    }
    int number = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        number = ++number_;
        partnerClosed_ = false;
        closedHere_ = false;
        received_.clear();
        matchFrom_ = 0;
        activity_.Reset();
        partnerGone_.Reset();
        current_ = std::move(next);
    }
    record_.Note(number, "opened");
    receiver_ = std::thread([this, number] { ReceiveLoop(*current_, number); });
    return kConnected;
}

bool PipeFace::IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_ != nullptr && !partnerClosed_ && !closedHere_;
}

bool PipeFace::Send(const std::vector<std::uint8_t>& packet) {
    if (!IsOpen()) {
        return false;
    }
    if (current_->Write(packet.data(), packet.size())) {
        return true;
    }
    MarkPartnerClosed(ConnectionNumber());
    return false;
}

void PipeFace::Drop() {
    CloseOurSide("dropped");
}

void PipeFace::CloseOurSide(std::string_view note) {
    if (IsOpen()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closedHere_ = true;
        }
        record_.Note(ConnectionNumber(), note);
    }
    Retire();
}

bool PipeFace::TakeMatch(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto from = received_.begin() + static_cast<std::ptrdiff_t>(matchFrom_);
    const auto found = std::search(from, received_.end(), bytes.begin(), bytes.end());
    if (!bytes.empty() && found != received_.end()) {
        matchFrom_ = static_cast<std::size_t>(found - received_.begin()) + bytes.size();
        return true;
    }
    activity_.Reset();
    return false;
}

int PipeFace::ConnectionNumber() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return number_;
}

void PipeFace::ReceiveLoop(platform::PipeConnection& connection, int number) {
    std::vector<std::uint8_t> chunk(kReceiveChunkBytes);
    for (;;) {
        const long count = connection.Read(chunk.data(), chunk.size(), -1);
        if (count < 0) {
            MarkPartnerClosed(number);
            return;
        }
        const auto size = static_cast<std::size_t>(count);
        if (size == 0 || size > chunk.size()) {
            continue;
        }
        record_.Received(number, chunk.data(), size);
        std::lock_guard<std::mutex> lock(mutex_);
        received_.insert(received_.end(), chunk.begin(), chunk.begin() + count);
        if (received_.size() > kMaxHeldBytes) {
            const std::size_t cut = received_.size() - kMaxPacketBytes;
            received_.erase(received_.begin(),
                            received_.begin() + static_cast<std::ptrdiff_t>(cut));
            matchFrom_ = matchFrom_ > cut ? matchFrom_ - cut : 0;
        }
        activity_.Set();
    }
}

// The monitor closed its end (or a write found it gone). A connection closed on our side is not
// the monitor's doing and is left as it is.
void PipeFace::MarkPartnerClosed(int number) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (number != number_ || partnerClosed_ || closedHere_) {
            return;
        }
        partnerClosed_ = true;
    }
    // Noted before anyone is woken, so the record is complete when the player moves on.
    record_.Note(number, "closed by the monitor");
    activity_.Set();
    partnerGone_.Set();
}

// Closes the current connection and waits for its receiver to end.
void PipeFace::Retire() {
    if (!current_) {
        return;
    }
    current_->Close();
    receiver_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    current_.reset();
}

}  // namespace lane::sim
