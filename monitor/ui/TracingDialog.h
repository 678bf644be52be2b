// The tracing dialog: trace file on and off, its size limit and its name.
#pragma once

#include <functional>

#include "monitor/ui/SettingsDialog.h"

namespace lane::monitor {

inline constexpr int kIdTraceStartStop = 1039;
inline constexpr int kIdTraceFileSize = 1040;
inline constexpr int kIdTraceFileNameShown = 1042;
inline constexpr int kIdTraceFileNameButton = 1043;

// The file-open filter of the "File name" button, and its choices.
inline constexpr const char* kTraceFileFilter = "Trace Files (*.trc)|*.trc|All Files (*.*)|*.*||";
struct FileFilterChoice {
    std::string description;  // "Trace Files (*.trc)"
    std::string pattern;      // "*.trc"
};
std::vector<FileFilterChoice> ParseFileFilter(const std::string& filter);

inline constexpr std::uint32_t kMinTraceFileSizeKb = 1;
inline constexpr std::uint32_t kMaxTraceFileSizeKb = 65536;

class CTracingDialog final : public CSettingsDialog {
  public:
    // Opens the trace file named by a Windows path for reading and writing, shared, created
    // when missing, never cut, positioned at its end. Returns 0 or the system error with its
    // text in `reason`.
    using TraceFileOpener = std::function<std::uint32_t(
        const std::string& path, std::unique_ptr<platform::SharedFile>& file, std::string& reason)>;

    CTracingDialog(SettingsBlock block, TraceFileOpener opener)
        : CSettingsDialog(std::move(block)), opener_(std::move(opener)) {}

    std::string Title() const override { return "Quarnel Orvel Monitor Tracing"; }
    std::vector<ControlView> Controls() const override;
    // Start or Stop; a trace file that cannot be opened at Start is said and tracing stays off.
    std::string Click(int id) override;
    // The size (clamped to 1..65536) or the chosen path.
    void ChangeText(int id, const std::string& text) override;

  private:
    std::string Start();
    void Stop();

    TraceFileOpener opener_;
};

}  // namespace lane::monitor
