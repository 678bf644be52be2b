// Stop requests by signal for a program that runs once and ends (the installer): SIGTERM, SIGINT
// and SIGHUP all ask it to stop, so that it can end what it started and leave its record.
#pragma once

#include <memory>
#include <string>

#include "common/Waitable.h"

namespace lane::platform {

// Create it in main before any other thread starts: it blocks the three signals in every thread
// and sets `stopRequested` from a watcher thread of its own when one arrives. Children started
// later get the signals' default handling back.
class StopSignals {
  public:
    explicit StopSignals(ManualResetEvent& stopRequested);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The name of the first signal that asked for the stop ("SIGTERM"), empty while none has.
    std::string ReceivedName() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace lane::platform
