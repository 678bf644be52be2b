// Tavrik's window on a terminal: a settings dialog opened, changed and closed with OK or Cancel
// while lane traffic goes on, then Exit, all typed at a pseudo-terminal.
#include <sstream>

#include "platform/PseudoTerminal.h"
#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

// The first line, then a pause long enough to open a dialog, then traffic while it is open.
constexpr const char* kTrafficScenario = R"(
connect within 20000
expect 02 56 03 02 48 03
send A3 01
delay 3000
send A2 02
delay 200
send A0 01 03 45 4E 44
expect DE AD BE EF FF FF within 60000
)";

// Keys as a terminal of type xterm sends them.
constexpr const char* kCtrlD = "\x04";
constexpr const char* kCtrlL = "\x0c";
constexpr const char* kRight = "\x1bOC";
constexpr const char* kTab = "\t";
constexpr const char* kBackTab = "\x1b[Z";
constexpr const char* kEnter = "\r";
constexpr const char* kAltE =
    "\x1b"
    "e";

constexpr int kRows = 40;
constexpr int kColumns = 110;

std::string Repeat(const std::string& keys, int count) {
    std::string all;
    for (int i = 0; i < count; ++i) {
        all += keys;
    }
    return all;
}

// The lines of one section of the hive file, its header first.
std::vector<std::string> Section(const std::string& hive, const std::string& header) {
    std::vector<std::string> lines;
    std::istringstream in(hive);
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] == '[') {
            inside = line == header;
        }
        if (inside) {
            lines.push_back(line);
        }
    }
    return lines;
}

int CountContaining(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

class TavrikWindowTest : public LaneTest {
  protected:
    std::string Hive() const {
        return testing::ReadWholeFile(root / "registry/HKEY_LOCAL_MACHINE.reg");
    }
    std::vector<std::string> SettingsSection() const {
        std::vector<std::string> lines =
            Section(Hive(), "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\\Tavrik]");
        EXPECT_GT(lines.size(), 80u);  // the header and every stored setting
        return lines;
    }

    // Starts the monitor at the terminal, shows its first line, opens the devices dialog with
    // Ctrl-D and waits until the traffic that came while it was open is on the screen. Returns
    // the settings as they stood before the dialog.
    std::vector<std::string> OpenDevicesDuringTraffic(platform::PseudoTerminalProcess& tavrik) {
        SetSetting("LoggingState", platform::RegValue::Dword(2));
        StartLanesim(kTrafficScenario);
        auto environment = Environment();
        environment.emplace_back("TERM", "xterm");
        EXPECT_EQ(tavrik.Start(BinaryPath("monitor/Tavrik"), {"-Test", "-Debug"}, environment,
                               kRows, kColumns),
                  0u);
        EXPECT_EQ(tavrik.ReadUntil("Quarnel Orvel Monitor Debug Window", kLineTimeoutMs), 0u);
        EXPECT_EQ(tavrik.ReadUntil("A3 01  - Lane Light On", kLineTimeoutMs), 0u);
        const std::vector<std::string> before = SettingsSection();
        EXPECT_EQ(tavrik.Type(kCtrlD), 0u);
        EXPECT_EQ(tavrik.ReadUntil("Quarnel Orvel Monitoring Device and Event Configuration",
                                   kLineTimeoutMs),
                  0u);
        // The list goes on behind the dialog.
        EXPECT_EQ(tavrik.ReadUntil("A2 02  - Red Button Pressed", kLineTimeoutMs), 0u);
        EXPECT_EQ(tavrik.ReadUntil("Security Module Debug Data", kLineTimeoutMs), 0u);
        // A smaller terminal: the window and the dialog are drawn again to the new size.
        EXPECT_EQ(tavrik.Resize(kRows - 6, kColumns - 10), 0u);
        EXPECT_EQ(tavrik.ReadUntil("Quarnel Orvel Monitor Debug Window", kLineTimeoutMs), 0u);
        EXPECT_EQ(tavrik.ReadUntil("Quarnel Orvel Monitoring Device and Event Configuration",
                                   kLineTimeoutMs),
                  0u);
        // The "Security Module" tab; its sixth control is "Fire Abnormal Power Down Event".
        // Ctrl-L draws the whole screen again, so the tab's captions come out whole.
        EXPECT_EQ(tavrik.Type(Repeat(kRight, 4) + kCtrlL), 0u);
        EXPECT_EQ(tavrik.ReadUntil("Fire Abnormal Power Down Event", kLineTimeoutMs), 0u);
        EXPECT_EQ(tavrik.Type(Repeat(kTab, 6) + " "), 0u);
        return before;
    }

    void ExitInOrder(platform::PseudoTerminalProcess& tavrik) {
        ASSERT_EQ(tavrik.Type(kAltE), 0u);
        platform::ProcessExit exit;
        ASSERT_EQ(tavrik.WaitFor(exit, kLineTimeoutMs), 0u) << tavrik.Output();
        EXPECT_FALSE(exit.signalled);
        EXPECT_EQ(exit.code, 0);
        EXPECT_EQ(ExitCode(lanesim), 0);  // the stop bytes came
        // Every line reached the trace file once, those traced while the dialog was open too.
        const std::string trace = TraceFile();
        EXPECT_EQ(CountContaining(trace, " : A3 01  - Lane Light On\n"), 1) << trace;
        EXPECT_EQ(CountContaining(trace, " : A2 02  - Red Button Pressed\n"), 1) << trace;
        EXPECT_EQ(CountContaining(trace, " : A0 01 [03] 45 4E 44  - Security Module Debug Data\n"),
                  1)
            << trace;
        EXPECT_EQ(CountContaining(trace, " bytes rec'd from SecMod\n"), 3) << trace;
    }
};

TEST_F(TavrikWindowTest, DevicesUntickAndOkChangesThatOneValue) {
    platform::PseudoTerminalProcess tavrik;
    const std::vector<std::string> before = OpenDevicesDuringTraffic(tavrik);
    ASSERT_EQ(tavrik.Type(kEnter), 0u);
    ExitInOrder(tavrik);
    const std::vector<std::string> after = SettingsSection();
    ASSERT_EQ(after.size(), before.size());
    std::vector<std::string> changed;
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (after[i] != before[i]) {
            changed.push_back(before[i] + " -> " + after[i]);
        }
    }
    EXPECT_EQ(changed,
              std::vector<std::string>{
                  "\"FireSMAbnormalPowerOff\"=\"true\" -> \"FireSMAbnormalPowerOff\"=\"false\""});
}

TEST_F(TavrikWindowTest, DevicesUntickAndCancelLeavesTheSettingsAsTheyWere) {
    platform::PseudoTerminalProcess tavrik;
    const std::vector<std::string> before = OpenDevicesDuringTraffic(tavrik);
    // Back from the tab control to Cancel.
    ASSERT_EQ(tavrik.Type(Repeat(kBackTab, 7) + kEnter), 0u);
    ExitInOrder(tavrik);
    EXPECT_EQ(SettingsSection(), before);
}

// A terminal type the system does not know: no window; the list goes to the terminal as lines
// and Ctrl-C stops the monitor in order.
TEST_F(TavrikWindowTest, AnUnknownTerminalGetsTheListAsLines) {
    StartLanesim(kTrafficScenario);
    auto environment = Environment();
    environment.emplace_back("TERM", "no-such-terminal");
    platform::PseudoTerminalProcess tavrik;
    ASSERT_EQ(tavrik.Start(BinaryPath("monitor/Tavrik"), {"-Test", "-Debug"}, environment, kRows,
                           kColumns),
              0u);
    ASSERT_EQ(tavrik.ReadUntil("this terminal cannot show the window", kLineTimeoutMs), 0u);
    ASSERT_EQ(tavrik.ReadUntil("A3 01  - Lane Light On\r\n", kLineTimeoutMs), 0u);
    ASSERT_EQ(tavrik.ReadUntil("Security Module Debug Data\r\n", kLineTimeoutMs), 0u);
    ASSERT_EQ(tavrik.Type("\x03"), 0u);
    platform::ProcessExit exit;
    ASSERT_EQ(tavrik.WaitFor(exit, kLineTimeoutMs), 0u);
    EXPECT_FALSE(exit.signalled);
    EXPECT_EQ(exit.code, 0) << tavrik.Output();
    EXPECT_EQ(ExitCode(lanesim), 0);
}

}  // namespace
}  // namespace lane::e2e
