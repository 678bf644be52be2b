// Stop requests by signal, taken with sigwait on a watcher thread.
#include "platform/StopSignals.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <thread>

namespace lane::platform {

namespace {

// Sent to the watcher thread alone to end it.
constexpr int kWatcherQuitSignal = SIGUSR2;

sigset_t WatchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    sigaddset(&set, kWatcherQuitSignal);
    return set;
}

const char* SignalName(int signal) {
    switch (signal) {
        case SIGTERM:
            return "SIGTERM";
        case SIGINT:
            return "SIGINT";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "";
    }
}

}  // namespace

struct StopSignals::Impl {
    ManualResetEvent& stopRequested;
    std::atomic<int> received{0};
    std::atomic<bool> quitting{false};
    std::thread thread;

    void Run() {
        const sigset_t set = WatchedSignals();
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0) {
                continue;
            }
            if (signal == kWatcherQuitSignal) {
                if (quitting.load()) {
                    return;
                }
                continue;
            }
            int none = 0;
            received.compare_exchange_strong(none, signal);
            stopRequested.Set();
        }
    }
};

StopSignals::StopSignals(ManualResetEvent& stopRequested)
    : impl_(new Impl{stopRequested, {}, {}, {}}) {
    const sigset_t set = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    impl_->thread = std::thread([this] { impl_->Run(); });
}

StopSignals::~StopSignals() {
    impl_->quitting = true;
    pthread_kill(impl_->thread.native_handle(), kWatcherQuitSignal);
    impl_->thread.join();
}

std::string StopSignals::ReceivedName() const {
    return SignalName(impl_->received.load());
}

}  // namespace lane::platform
