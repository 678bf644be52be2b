// CTavrikView and the settings dialogs: the copy of the settings block, the block handed back
// by OK, and the trace writer switched to the file the tracing dialog chose.
#include "monitor/acquisition/TavrikView.h"

#include "monitor/stats/Settings.h"
#include "platform/SystemError.h"

namespace lane::monitor {

namespace {

// How long the switch waits for the reader's batch of lines.
constexpr std::int64_t kTraceHandOverWaitMs = 1000;

std::string WithoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::unique_ptr<CTraceFileWriter> CTavrikView::MakeTraceWriter(
    std::unique_ptr<platform::SharedFile> file) {
    traceFileOpen_ = file != nullptr;
    return std::make_unique<CTraceFileWriter>(
        services_.clock, traceQueue_, std::move(file), Settings().MaxLogSize,
        // The name as it is now: a dialog may change the setting while the writer runs.
        [this, name = Settings().TraceFileName](std::uint32_t error) {
            services_.messageBox.Show(
                "An error occurred while writing " + name + ". " + platform::SystemErrorText(error),
                "Tavrik", platform::MessageIcon::Error);
        });
}

SettingsBlock CTavrikView::CopySettingsBlock() {
    std::lock_guard<std::mutex> lock(traceWriterLock_);
    SettingsBlock block;
    block.settings = Settings();
    block.traceFileOpen = traceFileOpen_;
    return block;
}

std::uint32_t CTavrikView::OpenTraceFileAtEnd(const std::string& path,
                                              std::unique_ptr<platform::SharedFile>& file,
                                              std::string& reason) {
    std::unique_ptr<platform::SharedFile> opened;
    std::uint32_t error = platform::OpenSharedFile(services_.paths.Map(path), opened);
    if (error == 0) {
        error = opened->SeekToEnd();
    }
    if (error != 0) {
        reason = WithoutLineEnd(platform::SystemErrorText(error));
        return error;
    }
    file = std::move(opened);
    return 0;
}

void CTavrikView::ApplySettingsBlock(SettingsBlock block) {
    std::lock_guard<std::mutex> lock(traceWriterLock_);
    if (stopped_) {
        return;
    }
    const MonitorSettings& current = Settings();
    const bool traceChanged = block.stopTraceWriter || block.openedTraceFile != nullptr ||
                              block.settings.MaxLogSize != current.MaxLogSize ||
                              block.settings.LoggingState != current.LoggingState;
    {
        std::lock_guard<std::mutex> reloadLock(reloadLock_);
        (void)PublishSettings(block.settings);
    }
    if (traceChanged && traceWriter_) {
        const bool keepFile = !block.stopTraceWriter && block.openedTraceFile == nullptr;
        SwitchTraceWriter(std::move(block.openedTraceFile), keepFile);
    }
    (void)saves_.Note(SavedBlock::Settings, SaveSettings(services_.registry, Settings()));
}

void CTavrikView::SwitchTraceWriter(std::unique_ptr<platform::SharedFile> file, bool keepFile) {
    // Stop: every line traced so far reaches the old file before it is closed, those the reader
    // still holds for its next batch too.
    (void)trace_.WaitForHandOver(kTraceHandOverWaitMs);
    traceWriterStop_.Set();
    traceWriter_->Join();
    traceWriter_->WriteQueuedLines();
    std::unique_ptr<platform::SharedFile> kept = traceWriter_->ReleaseFile();
    if (keepFile) {
        file = std::move(kept);
    }
    kept.reset();
    if (file) {
        // The old writer may have written to the same file since the dialog opened it.
        (void)file->SeekToEnd();
    }
    traceWriterStop_.Reset();
    trace_.SetTraceQueue(Settings().LoggingState != 0 ? &traceQueue_ : nullptr);
    traceWriter_ = MakeTraceWriter(std::move(file));
    traceWriter_->Start(traceWriterStop_);
}

}  // namespace lane::monitor
