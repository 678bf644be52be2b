// The tracing dialog: trace file on and off, its size limit and its name.
#include "monitor/ui/TracingDialog.h"

#include <algorithm>

namespace lane::monitor {

namespace {
constexpr std::uint32_t kLoggingToFile = 2;
}

std::vector<FileFilterChoice> ParseFileFilter(const std::string& filter) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t bar = filter.find('|'); bar != std::string::npos;
         bar = filter.find('|', start)) {
        parts.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    parts.push_back(filter.substr(start));
    std::vector<FileFilterChoice> choices;
    // Pairs of description and pattern; the list ends at the first empty description.
    for (std::size_t i = 0; i + 1 < parts.size() && !parts[i].empty(); i += 2) {
        choices.push_back({parts[i], parts[i + 1]});
    }
    return choices;
}

std::vector<ControlView> CTracingDialog::Controls() const {
    const MonitorSettings& settings = block_.settings;
    return {
        {kIdTraceStartStop, ControlKind::PushButton, settings.LoggingState != 0 ? "Stop" : "Start",
         "", false, true},
        {kIdTraceFileSize, ControlKind::NumberField, "Trace File Size (Kb)",
         FieldText(kIdTraceFileSize, settings.MaxLogSize), false, true},
        {kIdTraceFileNameShown, ControlKind::TextField, "", settings.TraceFileName, false, false},
        {kIdTraceFileNameButton, ControlKind::PathButton, "File name", settings.TraceFileName,
         false, true},
    };
}

std::string CTracingDialog::Click(int id) {
    if (id != kIdTraceStartStop) {
        return "";
    }
    if (block_.settings.LoggingState == 0) {
        return Start();
    }
    Stop();
    return "";
}

std::string CTracingDialog::Start() {
    block_.settings.LoggingState = kLoggingToFile;
    std::unique_ptr<platform::SharedFile> file;
    std::string reason;
    const std::uint32_t error = opener_(block_.settings.TraceFileName, file, reason);
    if (error != 0 || !file) {
        // Nothing would be written: tracing stays off rather than showing "Stop" for no file.
        block_.settings.LoggingState = 0;
        return "Cannot open trace file " + block_.settings.TraceFileName + ": " + reason;
    }
    block_.openedTraceFile = std::move(file);
    return "";
}

void CTracingDialog::Stop() {
    block_.settings.LoggingState = 0;
    if (block_.openedTraceFile) {
        block_.openedTraceFile.reset();  // opened in this dialog; nothing was written to it
        return;
    }
    if (block_.traceFileOpen) {
        block_.stopTraceWriter = true;
    }
}

void CTracingDialog::ChangeText(int id, const std::string& text) {
    if (id == kIdTraceFileSize) {
        const std::int32_t value = ReadDecimalText(text);
        block_.settings.MaxLogSize = static_cast<std::uint32_t>(
            std::clamp<std::int64_t>(value, kMinTraceFileSizeKb, kMaxTraceFileSizeKb));
        SetFieldText(id, text);
        return;
    }
    if (id == kIdTraceFileNameButton && !text.empty()) {
        block_.settings.TraceFileName = text;
    }
}

}  // namespace lane::monitor
