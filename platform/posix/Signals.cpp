// Termination and service requests sent by signal, handled on a watcher thread with sigwait.
#include "platform/Signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "platform/SystemError.h"

namespace lane::platform {

namespace {
// Sent to the watcher thread alone to end it.
constexpr int kWatcherQuitSignal = SIGUSR2;

// Each of these runs the orderly stop. SIGHUP stops in order too, so that nothing is lost when a
// terminal hangs up, unless the program takes it as its reload request.
constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGALRM};

bool IsStopSignal(int signal) {
    for (const int stop : kStopSignals) {
        if (signal == stop) {
            return true;
        }
    }
    return false;
}

// A stop signal the program was started with ignored (nohup, a background job of a script)
// stays ignored, as programs have always left it.
bool InheritedAsIgnored(int signal) {
    struct sigaction current {};
    return sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

sigset_t WatchedSignals(bool reloadOnHangUp) {
    sigset_t set;
    sigemptyset(&set);
    for (const int stop : kStopSignals) {
        if (!InheritedAsIgnored(stop)) {
            sigaddset(&set, stop);
        }
    }
    if (reloadOnHangUp) {
        sigaddset(&set, SIGHUP);
    }
    sigaddset(&set, SIGUSR1);
    sigaddset(&set, kWatcherQuitSignal);
    return set;
}

int HostSignal(ProcessSignal signal) {
    switch (signal) {
        case ProcessSignal::Terminate:
            return SIGTERM;
        case ProcessSignal::Interrupt:
            return SIGINT;
        case ProcessSignal::HangUp:
            return SIGHUP;
        case ProcessSignal::Quit:
            return SIGQUIT;
        case ProcessSignal::Alarm:
            return SIGALRM;
        case ProcessSignal::BrokenPipe:
            return SIGPIPE;
        case ProcessSignal::ServiceRequest:
            return SIGUSR1;
    }
    return SIGTERM;
}
}  // namespace

struct SignalWatcher::Impl {
    sigset_t watched;
    ManualResetEvent& stopRequested;
    std::function<void()> onServiceRequest;
    std::function<void()> onReloadRequest;
    std::atomic<bool> quitting{false};
    std::thread thread;

    void Run() {
        for (;;) {
            int signal = 0;
            if (sigwait(&watched, &signal) != 0) {
                continue;
            }
            if (signal == kWatcherQuitSignal && quitting.load()) {
                return;
            }
            if (signal == SIGHUP && onReloadRequest) {
                onReloadRequest();
            } else if (IsStopSignal(signal)) {
                stopRequested.Set();
            } else if (signal == SIGUSR1 && onServiceRequest) {
                onServiceRequest();
            }
        }
    }
};

SignalWatcher::SignalWatcher(ManualResetEvent& stopRequested,
                             std::function<void()> onServiceRequest,
                             std::function<void()> onReloadRequest)
    : impl_(new Impl{WatchedSignals(static_cast<bool>(onReloadRequest)),
                     stopRequested,
                     std::move(onServiceRequest),
                     std::move(onReloadRequest),
                     {},
                     {}}) {
    // A reader that went away is a failed write (EPIPE), not the end of the program.
    ::signal(SIGPIPE, SIG_IGN);
    pthread_sigmask(SIG_BLOCK, &impl_->watched, nullptr);
    impl_->thread = std::thread([this] { impl_->Run(); });
}

SignalWatcher::~SignalWatcher() {
    impl_->quitting = true;
    pthread_kill(impl_->thread.native_handle(), kWatcherQuitSignal);
    impl_->thread.join();
}

std::uint32_t SendSignalToThisProcess(ProcessSignal signal) {
    return ::kill(::getpid(), HostSignal(signal)) == 0 ? kErrorSuccess
                                                       : WindowsErrorFromErrno(errno);
}

}  // namespace lane::platform
