// Termination and service requests sent by signal: the orderly stop, the service request, and a
// closed output that is reported as a write error instead of ending the process.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "common/Waitable.h"

namespace lane::platform {

// Create it in main before any other thread starts: it blocks the signals in every thread and
// turns them into calls on a watcher thread of its own.
//
// SIGTERM, SIGINT, SIGHUP, SIGQUIT and SIGALRM ask for the orderly stop (`stopRequested` is set):
// a program that ends on any of them first saves what it holds; one that the program was started
// with ignored (nohup) stays ignored. SIGUSR1 is the service request
// (`onServiceRequest`, optional). A program that gives `onReloadRequest` takes SIGHUP as the
// request to read its settings again instead of a stop, as services do; it is then watched even
// when it was inherited ignored. SIGPIPE is ignored from construction on: a write to a closed
// pipe or socket fails with its error (233 "no process on the other end") and the caller deals
// with it.
class SignalWatcher {
  public:
    explicit SignalWatcher(ManualResetEvent& stopRequested,
                           std::function<void()> onServiceRequest = {},
                           std::function<void()> onReloadRequest = {});
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The signals above by name, for tests that send them to their own process.
enum class ProcessSignal { Terminate, Interrupt, HangUp, Quit, Alarm, BrokenPipe, ServiceRequest };

// Sends `signal` to this process. Returns 0, or the Windows error number.
[[nodiscard]] std::uint32_t SendSignalToThisProcess(ProcessSignal signal);

}  // namespace lane::platform
