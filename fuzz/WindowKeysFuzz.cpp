// Fuzz target of the monitor's window: any run of keys (typed at a terminal, so outside input)
// through the menu, the dialogs and the path prompt, drawn on a screen of any size, never faults,
// and whatever OK hands back keeps the dialogs' bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "monitor/ui/TerminalWindow.h"

namespace {

using namespace lane;
using namespace lane::platform;

class SizedScreen final : public TerminalScreen {
  public:
    SizedScreen(int rows, int columns) : rows_(rows), columns_(columns) {}
    int Rows() const override { return rows_; }
    int Columns() const override { return columns_; }
    void Clear() override {}
    void Put(int, int, std::string_view text, unsigned) override {
        // Text outside the screen is cut by the screen; a runaway length is a fault here.
        if (text.size() > 4096) {
            std::abort();
        }
    }
    void Show(bool) override {}
    int ReadKey(std::int64_t) override { return kKeyNone; }

  private:
    int rows_;
    int columns_;
};

constexpr int kSpecialKeys[] = {kKeyUp,        kKeyDown,   kKeyLeft,  kKeyRight,
                                kKeyEnter,     kKeyEscape, kKeyTab,   kKeyBackTab,
                                kKeyBackspace, kKeyF10,    kKeyResize};

int KeyOf(std::uint8_t byte, std::uint8_t next) {
    if (byte >= 0xF0) {
        return kSpecialKeys[(byte - 0xF0) % std::size(kSpecialKeys)];
    }
    if (byte >= 0xE0) {
        return kKeyAlt + next;
    }
    return byte;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    SizedScreen screen(1 + data[0] % 60, 1 + data[1] % 160);
    monitor::CTraceList list(8);
    list.Append("20240305 14:07:09.042", std::string(300, 'x'));
    monitor::MonitorSettings settings;
    monitor::WindowHooks hooks;
    hooks.newestLines = [&list](std::size_t count) { return list.Newest(count); };
    hooks.copySettings = [&settings] {
        monitor::SettingsBlock block;
        block.settings = settings;
        return block;
    };
    hooks.applySettings = [&settings](monitor::SettingsBlock block) {
        settings = block.settings;
        if (settings.ReportingIntervalMinutes < 1 || settings.ReportCopies < 1 ||
            settings.MaxLogSize < 1 || settings.MaxLogSize > 65536 ||
            settings.TraceFileName.empty() || settings.TraceFileName.size() > 260) {
            std::abort();
        }
    };
    hooks.openTraceFile = [](const std::string&, std::unique_ptr<SharedFile>&,
                             std::string& reason) -> std::uint32_t {
        reason = "Access is denied.";
        return 5;
    };
    hooks.exit = [] {};
    monitor::CTerminalWindow window("Quarnel Orvel Monitor Debug Window", std::move(hooks));
    for (std::size_t i = 2; i < size && !window.Closing(); ++i) {
        const std::uint8_t next = i + 1 < size ? data[i + 1] : 0;
        window.HandleKey(KeyOf(data[i], next));
        if (data[i] >= 0xE0 && data[i] < 0xF0) {
            ++i;
        }
        window.Draw(screen);
    }
    return 0;
}
