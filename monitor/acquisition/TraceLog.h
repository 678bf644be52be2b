// The trace operations every part of the monitor calls: one time-stamped line per event.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "common/Clock.h"
#include "common/Waitable.h"
#include "monitor/acquisition/MonitorMessage.h"
#include "monitor/acquisition/OposTraceRelay.h"
#include "monitor/acquisition/TraceQueue.h"
#include "monitor/ui/TraceList.h"

namespace lane::monitor {

inline constexpr std::size_t kTraceMessageMax = 999;
// A collecting thread hands its lines over at the latest when this many are collected, or when
// it has waited this long for more input.
inline constexpr std::size_t kHandOverLines = 4096;
inline constexpr std::int64_t kHandOverDelayMs = 20;

class CTraceLog {
  public:
    explicit CTraceLog(Clock& clock) : clock_(clock) {}

    // Wiring, done before any thread traces. Display mode shows lines in `list`; a logging state
    // other than 0 queues them for the trace file.
    void SetDisplayList(CTraceList* list) { list_ = list; }
    // May change while lines are traced (the tracing dialog turns the trace file on and off).
    void SetTraceQueue(CTraceQueue* queue) { queue_.store(queue, std::memory_order_release); }
    // Every line is offered to the OPOS trace relay (level 4, source "ListInput").
    void SetRelay(const COposTraceRelay* relay) { relay_ = relay; }
    // Records bad data seen by TraceUnknown (time, hex text) in the statistics.
    void SetBadDataRecorder(std::function<void(std::time_t, const std::string&)> recorder) {
        badDataRecorder_ = std::move(recorder);
    }

    void TraceText(std::string_view text);
    // "  ** <text> **".
    void TraceNote(std::string_view text);
    // "(A3 01 ) -- Raw Input --".
    void TraceRawInput(const std::uint8_t* bytes, std::size_t count);
    // "50  ** UNKNOWN MESSAGE **".
    void TraceUnknown(const std::uint8_t* bytes, std::size_t count);
    // The line of a message cut from the stream, stamped with the time it was cut (a moment
    // earlier on the same thread); `decoderText` describes a cash device's message.
    void TraceMessage(const MonitorMessage& message, std::string_view decoderText);

    // Stamps a finished message text with the local time and sends it to the list and the file.
    void Emit(std::string_view text);

    // Batches: between BeginThreadBatch and EndThreadBatch, the lines the calling thread traces
    // for the file are collected in one text and queued together, so the file writer wakes
    // once per batch, not once per line; the display list still gets each line at once, and
    // its screen is told of the batch's end (CTraceList::Flush). Any
    // thread, one batch at a time per thread.
    void BeginThreadBatch();
    void EndThreadBatch();
    // The reader thread's batches: BeginCollecting starts a batch that HandOver queues (and
    // starts again). HandOver also runs the hand-over hook (the view hands its collected
    // messages to the device monitors). The collecting thread calls HandOver before it waits
    // for input, and it runs by itself every kHandOverLines lines. One collecting thread.
    void BeginCollecting();
    void HandOver();
    // Hands over what is left and stops collecting.
    void EndCollecting();
    // How long the collecting thread may wait for input before it hands over: kHandOverDelayMs
    // with something collected, kInfiniteMs with nothing. Collecting thread only.
    std::int64_t HandOverWaitMs() const { return collectedAny_ ? kHandOverDelayMs : kInfiniteMs; }
    bool CollectingOnThisThread() const {
        return collectingThread_.load(std::memory_order_relaxed) == std::this_thread::get_id();
    }
    // Any other thread: waits until the collecting thread has handed over the lines it has
    // collected by now (at once when it holds none), at most `timeoutMs`. False on the timeout.
    bool WaitForHandOver(std::int64_t timeoutMs);
    // Set before the collecting thread starts.
    void SetHandOverHook(std::function<void()> hook) { handOverHook_ = std::move(hook); }

  private:
    // The line of a message text made of up to three parts (cut to kTraceMessageMax), at `time`.
    void EmitParts(WallTime time, std::string_view first, std::string_view second = {},
                   std::string_view third = {});

    Clock& clock_;
    CTraceList* list_ = nullptr;
    std::atomic<CTraceQueue*> queue_{nullptr};
    const COposTraceRelay* relay_ = nullptr;
    std::function<void(std::time_t, const std::string&)> badDataRecorder_;
    std::atomic<std::thread::id> collectingThread_{};
    bool collectedAny_ = false;  // a line (or a message with it) since the hand-over
    // Lines collected and not yet handed over, for WaitForHandOver; cleared at each hand-over.
    std::atomic<bool> collectedPending_{false};
    ManualResetEvent handedOver_;
    std::function<void()> handOverHook_;
};

}  // namespace lane::monitor
