// The simulator pipe "\\.\pipe\OrvelSim": opening with the start-up box, reopening after loss,
// and the writes of the simulator writer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "common/Clock.h"
#include "common/Waitable.h"
#include "platform/LanePath.h"
#include "platform/MessageBox.h"
#include "platform/NamedPipe.h"

namespace lane::monitor {

inline constexpr const char* kSimulatorPipeName = "OrvelSim";
inline constexpr std::int64_t kPipeReopenIntervalMs = 2500;
// The pipe is read this much at a time; the reader's reads take their bytes from what was read
// ahead, so a fast stream costs one system call per few kilobytes instead of one per read.
inline constexpr std::size_t kPipeReadAheadSize = 4096;

class CSimulatorPipe {
  public:
    CSimulatorPipe(Clock& clock, const platform::LanePaths& paths,
                   platform::MessageBoxService& messageBox)
        : clock_(clock), paths_(paths), messageBox_(messageBox) {}

    // Opens the pipe at start. While nobody listens the user is asked to start the simulator
    // and the open is tried again; `cancel` (a stop request) ends the attempts. False when the
    // pipe could not be opened.
    bool OpenAtStart(ManualResetEvent& cancel);
    // Reopens after the partner went away, every 2.5 s until it opens or `stopEvent` is set.
    void ReopenAfterLoss(ManualResetEvent& stopEvent);

    bool IsOpen() const;
    // The reader's overlapped read of at most `maxBytes`; bytes already read ahead complete it
    // at once. Only the reader thread reads and reopens.
    platform::PipeClient::ReadStatus ReadOverlapped(std::uint8_t* buffer, std::size_t maxBytes,
                                                    ManualResetEvent& completion,
                                                    std::size_t& bytesRead, std::uint32_t& error);
    bool GetOverlappedResult(std::size_t& bytesRead, std::uint32_t& error);
    // The writer's write; false when no pipe is open or the write failed.
    bool Write(const std::uint8_t* bytes, std::size_t count);
    void Close();

  private:
    Clock& clock_;
    const platform::LanePaths& paths_;
    platform::MessageBoxService& messageBox_;
    mutable std::mutex pipeLock_;  // guards swapping the client against the writer's writes
    std::unique_ptr<platform::PipeClient> client_;
    // Read ahead and not yet taken (reader thread only): bytes from aheadStart_ to aheadEnd_.
    std::array<std::uint8_t, kPipeReadAheadSize> readAhead_{};
    std::size_t aheadStart_ = 0;
    std::size_t aheadEnd_ = 0;
    // The caller's buffer of a pending read, filled by GetOverlappedResult.
    std::uint8_t* pendingBuffer_ = nullptr;
    std::size_t pendingMaxBytes_ = 0;

    std::size_t TakeAhead(std::uint8_t* buffer, std::size_t maxBytes);
};

}  // namespace lane::monitor
