// Termination and service requests sent by signal: SIGTERM/SIGINT ask for the orderly stop.
#pragma once

#include <functional>
#include <memory>

#include "common/Waitable.h"

namespace lane::platform {

// Create it in main before any other thread starts: it blocks the signals in every thread and
// turns them into calls on a watcher thread of its own.
class SignalWatcher {
  public:
    // `stopRequested` is set on SIGTERM or SIGINT; `onServiceRequest` (optional) runs on SIGUSR1.
    explicit SignalWatcher(ManualResetEvent& stopRequested,
                           std::function<void()> onServiceRequest = {});
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace lane::platform
