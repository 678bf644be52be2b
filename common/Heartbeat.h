// A worker thread's heartbeat: it counts the turns of the thread's loop and tells an idle wait
// (for work, for input, or for a pause to end) from a thread that is stuck in its work.
#pragma once

#include <atomic>
#include <cstdint>

namespace lane {

class Heartbeat {
  public:
    enum class State { NotStarted, Working, Waiting, Ended };

    // What a watcher reads, without stopping the thread.
    struct Sample {
        State state = State::NotStarted;
        std::uint64_t turns = 0;
    };

    // Set by the owner just before the thread starts, so that a watcher never sees a thread that
    // is about to run as one that is not there.
    void Starting() {
        turns_.fetch_add(1, std::memory_order_relaxed);
        state_.store(State::Working, std::memory_order_release);
    }
    // One turn of the thread's loop.
    void Turn() { turns_.fetch_add(1, std::memory_order_relaxed); }
    // The thread's last act.
    void Ended() { state_.store(State::Ended, std::memory_order_release); }

    Sample Read() const {
        return Sample{state_.load(std::memory_order_acquire),
                      turns_.load(std::memory_order_relaxed)};
    }

    // Marks the thread as waiting for as long as it lives; the end of the wait counts as a turn,
    // so a thread that gets stuck in the work after it is seen as freshly busy, not as idle.
    class Waiting {
      public:
        explicit Waiting(Heartbeat& heartbeat) : heartbeat_(heartbeat) {
            heartbeat_.state_.store(State::Waiting, std::memory_order_release);
        }
        ~Waiting() {
            heartbeat_.turns_.fetch_add(1, std::memory_order_relaxed);
            heartbeat_.state_.store(State::Working, std::memory_order_release);
        }
        Waiting(const Waiting&) = delete;
        Waiting& operator=(const Waiting&) = delete;

      private:
        Heartbeat& heartbeat_;
    };

  private:
    std::atomic<State> state_{State::NotStarted};
    std::atomic<std::uint64_t> turns_{0};
};

}  // namespace lane
