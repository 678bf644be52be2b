// The trace operations every part of the monitor calls: one time-stamped line per event.
#include "monitor/acquisition/TraceLog.h"

#include "common/HexText.h"
#include "common/TimeText.h"

namespace lane::monitor {

namespace {

// The lines of a thread's batch (BeginThreadBatch), and the log they are for.
struct ThreadBatch {
    const CTraceLog* log = nullptr;
    std::vector<std::string> lines;
};
thread_local ThreadBatch threadBatch;

}  // namespace

void CTraceLog::TraceText(const std::string& text) {
    Emit(text);
}

void CTraceLog::TraceNote(const std::string& text) {
    Emit("  ** " + text + " **");
}

void CTraceLog::TraceRawInput(const std::uint8_t* bytes, std::size_t count) {
    std::string text = "(";
    text.reserve(count * 3 + 20);
    AppendHexBytes(text, bytes, count, kTraceHexStop);
    text += ") -- Raw Input --";
    Emit(text);
}

void CTraceLog::TraceUnknown(const std::uint8_t* bytes, std::size_t count) {
    std::string hex;
    hex.reserve(count * 3 + 24);
    AppendHexBytes(hex, bytes, count, kTraceHexStop);
    if (badDataRecorder_) {
        badDataRecorder_(clock_.Now().seconds, hex);
    }
    Emit(hex + " ** UNKNOWN MESSAGE **");
}

void CTraceLog::Emit(const std::string& text) {
    const std::string timeText = TraceTimeText(clock_.Now());
    const std::string message =
        text.size() > kTraceMessageMax ? text.substr(0, kTraceMessageMax) : text;
    if (CollectingOnThisThread()) {
        // Before the list shows the line: whoever sees it there and waits for the hand-over
        // finds the line pending.
        collectedPending_.store(true, std::memory_order_release);
    }
    if (list_ != nullptr) {
        list_->Append(timeText, message);
    }
    if (relay_ != nullptr && relay_->Loaded()) {
        relay_->SendTrace(kOposRelayLevel, kOposRelaySource, "%s : %s", timeText.c_str(),
                          message.c_str());
    }
    if (CollectingOnThisThread()) {
        collectedAny_ = true;
    }
    CTraceQueue* const queue = queue_.load(std::memory_order_acquire);
    if (queue != nullptr) {
        std::string line;
        line.reserve(timeText.size() + 3 + message.size() + 1);
        line += timeText;
        line += " : ";
        line += message;
        if (threadBatch.log == this) {
            threadBatch.lines.push_back(std::move(line));
            return;
        }
        if (!CollectingOnThisThread()) {
            queue->Push(std::move(line));
            return;
        }
        collected_.push_back(std::move(line));
        if (collected_.size() >= kHandOverLines) {
            HandOver();
        }
    }
}

void CTraceLog::BeginThreadBatch() {
    threadBatch.log = this;
}

void CTraceLog::EndThreadBatch() {
    if (threadBatch.log != this) {
        return;
    }
    if (CTraceQueue* const queue = queue_.load(std::memory_order_acquire); queue != nullptr) {
        queue->PushAll(threadBatch.lines);
    }
    threadBatch.lines.clear();
    threadBatch.log = nullptr;
}

void CTraceLog::BeginCollecting() {
    collectingThread_.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

void CTraceLog::HandOver() {
    if (CTraceQueue* const queue = queue_.load(std::memory_order_acquire); queue != nullptr) {
        queue->PushAll(collected_);
    }
    collected_.clear();
    collectedAny_ = false;
    collectedPending_.store(false, std::memory_order_release);
    handedOver_.Set();
    if (handOverHook_) {
        handOverHook_();
    }
}

bool CTraceLog::WaitForHandOver(std::int64_t timeoutMs) {
    if (!collectedPending_.load(std::memory_order_acquire)) {
        return true;
    }
    handedOver_.Reset();
    // A hand-over between the test above and the reset has cleared the flag.
    if (!collectedPending_.load(std::memory_order_acquire)) {
        return true;
    }
    return WaitForAny(clock_, {&handedOver_}, timeoutMs) == 0;
}

void CTraceLog::EndCollecting() {
    HandOver();
    collectingThread_.store(std::thread::id{}, std::memory_order_relaxed);
}

}  // namespace lane::monitor
