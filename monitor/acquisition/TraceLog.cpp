// The trace operations every part of the monitor calls: one time-stamped line per event.
#include "monitor/acquisition/TraceLog.h"

#include "common/HexText.h"
#include "common/TimeText.h"
#include "monitor/acquisition/MessageTrace.h"

namespace lane::monitor {

namespace {

// The calling thread's batch (BeginThreadBatch, BeginCollecting): the file text of its lines,
// and the log they are for.
struct ThreadBatch {
    const CTraceLog* log = nullptr;
    std::string text;
    std::size_t lines = 0;
};
thread_local ThreadBatch threadBatch;

// Texts are built here, so that a line costs no allocation once the thread has traced a few.
thread_local std::string messageScratch;
thread_local std::string lineScratch;
thread_local std::string listScratch;

}  // namespace

void CTraceLog::TraceText(std::string_view text) {
    EmitParts(clock_.Now(), text);
}

void CTraceLog::TraceNote(std::string_view text) {
    EmitParts(clock_.Now(), "  ** ", text, " **");
}

void CTraceLog::TraceRawInput(const std::uint8_t* bytes, std::size_t count) {
    std::string& hex = messageScratch;
    hex.assign(1, '(');
    AppendHexBytes(hex, bytes, count, kTraceHexStop);
    EmitParts(clock_.Now(), hex, ") -- Raw Input --");
}

void CTraceLog::TraceUnknown(const std::uint8_t* bytes, std::size_t count) {
    std::string hex;
    hex.reserve(count * 3 + 24);
    AppendHexBytes(hex, bytes, count, kTraceHexStop);
    if (badDataRecorder_) {
        badDataRecorder_(clock_.Now().seconds, hex);
    }
    EmitParts(clock_.Now(), hex, " ** UNKNOWN MESSAGE **");
}

void CTraceLog::TraceMessage(const MonitorMessage& message, std::string_view decoderText) {
    std::string& text = messageScratch;
    text.clear();
    AppendMessageTraceText(text, message, decoderText);
    EmitParts(WallTime{message.time, message.milliseconds}, text);
}

void CTraceLog::Emit(std::string_view text) {
    EmitParts(clock_.Now(), text);
}

void CTraceLog::EmitParts(WallTime time, std::string_view first, std::string_view second,
                          std::string_view third) {
    // The message text is cut to kTraceMessageMax characters as a whole.
    std::size_t room = kTraceMessageMax;
    first = first.substr(0, room);
    room -= first.size();
    second = second.substr(0, room);
    room -= second.size();
    third = third.substr(0, room);
    const bool collecting = CollectingOnThisThread();
    if (collecting) {
        collectedAny_ = true;
        // Before the list shows the line: whoever sees it there and waits for the hand-over
        // finds the line pending.
        collectedPending_.store(true, std::memory_order_release);
    }
    char timeText[kTraceTimeTextMax];
    const std::string_view stamp(timeText, FormatTraceTime(time, timeText));
    const bool relayed = relay_ != nullptr && relay_->Loaded();
    ThreadBatch& batch = threadBatch;
    const bool batched = batch.log == this;
    if (list_ != nullptr || relayed) {
        std::string& message = listScratch;
        message.assign(first);
        message += second;
        message += third;
        if (relayed) {
            const std::string stampText(stamp);
            relay_->SendTrace(kOposRelayLevel, kOposRelaySource, "%s : %s", stampText.c_str(),
                              message.c_str());
        }
        if (list_ != nullptr) {
            list_->Append(stamp, message);
            // A batch's lines reach the screen at the batch's end, a lone line at once.
            if (!batched) {
                list_->Flush();
            }
        }
    }
    CTraceQueue* const queue = queue_.load(std::memory_order_acquire);
    if (queue == nullptr) {
        return;
    }
    std::string& line = batched ? batch.text : lineScratch;
    if (!batched) {
        line.clear();
    }
    line += stamp;
    line += " : ";
    line += first;
    line += second;
    line += third;
    if (!batched) {
        queue->Push(line);
        return;
    }
    batch.text += '\n';
    if (++batch.lines >= kHandOverLines && collecting) {
        HandOver();
    }
}

void CTraceLog::BeginThreadBatch() {
    threadBatch.log = this;
    threadBatch.lines = 0;
}

void CTraceLog::EndThreadBatch() {
    ThreadBatch& batch = threadBatch;
    if (batch.log != this) {
        return;
    }
    if (list_ != nullptr) {
        list_->Flush();
    }
    if (CTraceQueue* const queue = queue_.load(std::memory_order_acquire); queue != nullptr) {
        queue->PushText(batch.text);
    }
    batch.text.clear();
    batch.lines = 0;
    batch.log = nullptr;
}

void CTraceLog::BeginCollecting() {
    collectingThread_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    BeginThreadBatch();
}

void CTraceLog::HandOver() {
    ThreadBatch& batch = threadBatch;
    if (batch.log == this) {
        if (list_ != nullptr) {
            list_->Flush();
        }
        if (CTraceQueue* const queue = queue_.load(std::memory_order_acquire); queue != nullptr) {
            queue->PushText(batch.text);
        }
        batch.text.clear();
        batch.lines = 0;
    }
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
    EndThreadBatch();
    collectingThread_.store(std::thread::id{}, std::memory_order_relaxed);
}

}  // namespace lane::monitor
