// Termination and service requests sent by signal, handled on a watcher thread with sigwait.
#include "platform/Signals.h"

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
    sigaddset(&set, SIGUSR1);
    sigaddset(&set, kWatcherQuitSignal);
    return set;
}
}  // namespace

struct SignalWatcher::Impl {
    ManualResetEvent& stopRequested;
    std::function<void()> onServiceRequest;
    std::atomic<bool> quitting{false};
    std::thread thread;

    void Run() {
        const sigset_t set = WatchedSignals();
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0) {
                continue;
            }
            if (signal == kWatcherQuitSignal && quitting.load()) {
                return;
            }
            if (signal == SIGTERM || signal == SIGINT) {
                stopRequested.Set();
            } else if (signal == SIGUSR1 && onServiceRequest) {
                onServiceRequest();
            }
        }
    }
};

SignalWatcher::SignalWatcher(ManualResetEvent& stopRequested,
                             std::function<void()> onServiceRequest)
    : impl_(new Impl{stopRequested, std::move(onServiceRequest), {}, {}}) {
    const sigset_t set = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    impl_->thread = std::thread([this] { impl_->Run(); });
}

SignalWatcher::~SignalWatcher() {
    impl_->quitting = true;
    pthread_kill(impl_->thread.native_handle(), kWatcherQuitSignal);
    impl_->thread.join();
}

}  // namespace lane::platform
