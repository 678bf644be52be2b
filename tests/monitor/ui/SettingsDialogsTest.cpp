// The three settings dialogs without a screen: bindings, number rules, tabs, and the tracing
// dialog's Start and Stop on the copy of the settings block.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "monitor/ui/DevicesDialog.h"
#include "monitor/ui/DialogSession.h"
#include "monitor/ui/ReportingDialog.h"
#include "monitor/ui/TracingDialog.h"
#include "platform/TerminalScreen.h"

namespace lane::monitor {
namespace {

std::vector<int> Ids(const std::vector<ControlView>& views) {
    std::vector<int> ids;
    for (const ControlView& view : views) {
        ids.push_back(view.id);
    }
    return ids;
}

// The control as shown now; an empty view when it is not shown.
ControlView View(const CSettingsDialog& dialog, int id) {
    for (const ControlView& view : dialog.Controls()) {
        if (view.id == id) {
            return view;
        }
    }
    return {};
}

SettingsBlock BlockOf(const MonitorSettings& settings) {
    SettingsBlock block;
    block.settings = settings;
    return block;
}

TEST(SettingsDialogsTest, DecimalTextReadsAsTheDialogsReadIt) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"15", 15},
        {"0", 0},
        {"abc", 0},
        {"", 0},
        {"12abc", 12},
        {"  -5", -5},
        {"+7", 7},
        {"99999999999", std::numeric_limits<std::int32_t>::max()},
        {"-99999999999", std::numeric_limits<std::int32_t>::min()},
        {"000000000000000000001", 0},  // only the first 20 characters are read
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ReadDecimalText(text), value) << text;
    }
}

TEST(SettingsDialogsTest, ReportingKeepsIntervalAndCopiesAtLeastOne) {
    CReportingDialog dialog{SettingsBlock{}};
    EXPECT_EQ(dialog.Title(), "Orvel Device Reporting Configuration");
    EXPECT_EQ(Ids(dialog.Controls()), (std::vector<int>{1000, 1009, 1010}));
    EXPECT_EQ(View(dialog, 1000).label, "Com Port");
    EXPECT_EQ(View(dialog, 1000).text, "7");
    EXPECT_FALSE(View(dialog, 1000).enabled);
    EXPECT_EQ(View(dialog, 1009).label, "Report Inverval (Minutes)");
    EXPECT_EQ(View(dialog, 1010).label, "Report File Copies");
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"0", 1}, {"-4", 1}, {"abc", 1}, {"25", 25}, {"1", 1}};
    for (const auto& [text, stored] : cases) {
        dialog.ChangeText(kIdReportInterval, text);
        dialog.ChangeText(kIdReportCopies, text);
        EXPECT_EQ(dialog.Block().settings.ReportingIntervalMinutes, stored) << text;
        EXPECT_EQ(dialog.Block().settings.ReportCopies, stored) << text;
        EXPECT_EQ(View(dialog, kIdReportInterval).text, text);  // the field keeps what was typed
    }
}

// Every control of the devices dialog sits on its tab and changes its own setting, and only it.
TEST(SettingsDialogsTest, EveryDeviceControlChangesItsOwnSettingOnly) {
    const std::vector<std::string> tabs = {"Coin Acceptor",  "Bill Acceptor",   "Coin Dispenser",
                                           "Bill Dispenser", "Security Module", "Security Scale",
                                           "Conveyor"};
    EXPECT_EQ(CDevicesDialog{SettingsBlock{}}.Tabs(), tabs);
    EXPECT_EQ(DeviceControls().size(), 76u);
    for (const DeviceControl& control : DeviceControls()) {
        SCOPED_TRACE(control.caption);
        CDevicesDialog dialog{SettingsBlock{}};
        MonitorSettings expected = dialog.Block().settings;
        dialog.SelectTab(control.tab);
        const std::vector<int> shown = Ids(dialog.Controls());
        EXPECT_NE(std::find(shown.begin(), shown.end(), control.id), shown.end());
        if (control.kind == ControlKind::CheckBox) {
            EXPECT_EQ(View(dialog, control.id).label, control.caption);
            EXPECT_EQ(dialog.Click(control.id), "");
            bool& flag = control.switchFlag != nullptr ? expected.switches.*control.switchFlag
                                                       : expected.*control.flag;
            flag = !flag;
        } else {
            dialog.ChangeText(control.id, "-1");  // no bounds: wraps
            expected.*control.number = 0xFFFFFFFFu;
        }
        EXPECT_TRUE(dialog.Block().settings == expected);
    }
}

TEST(SettingsDialogsTest, UntickingAbnormalPowerDownChangesThatSettingAndNothingElse) {
    CDevicesDialog dialog{SettingsBlock{}};
    EXPECT_EQ(dialog.Title(), "Quarnel Orvel Monitoring Device and Event Configuration");
    dialog.SelectTab(4);
    EXPECT_EQ(View(dialog, 1015).label, "Fire Abnormal Power Down Event");
    EXPECT_TRUE(View(dialog, 1015).checked);
    dialog.Click(1015);
    EXPECT_FALSE(View(dialog, 1015).checked);
    MonitorSettings expected;
    expected.FireSMAbnormalPowerOff = false;
    EXPECT_TRUE(dialog.TakeBlock().settings == expected);
}

TEST(SettingsDialogsTest, EachTabShowsItsOwnControlsOnly) {
    CDevicesDialog dialog{SettingsBlock{}};
    dialog.SelectTab(6);
    EXPECT_EQ(Ids(dialog.Controls()), std::vector<int>{1003});
    EXPECT_EQ(View(dialog, 1003).label, "Monitor Conveyor");
    dialog.SelectTab(5);
    EXPECT_EQ(Ids(dialog.Controls()), (std::vector<int>{1002, 1024, 1025, 1026, 1027, 1028, 1029}));
    // A click on a control of another tab does nothing; neither does a tab past the last.
    dialog.Click(1003);
    dialog.SelectTab(7);
    EXPECT_EQ(dialog.SelectedTab(), 5u);
    EXPECT_TRUE(dialog.Block().settings == MonitorSettings{});
    // Text that is not a number reads 0.
    dialog.ChangeText(1026, "many");
    EXPECT_EQ(dialog.Block().settings.SSScaleResetTimes, 0u);
}

// A trace file as the opener gives it; tells the test when it is closed.
class FakeTraceFile final : public platform::SharedFile {
  public:
    explicit FakeTraceFile(bool& closed) : closed_(closed) { closed_ = false; }
    ~FakeTraceFile() override { closed_ = true; }
    std::uint64_t Position() const override { return 0; }
    std::uint32_t SeekToEnd() override { return 0; }
    std::uint32_t Truncate() override { return 0; }
    std::uint32_t Write(const char*, std::size_t) override { return 0; }

  private:
    bool& closed_;
};

class TracingDialogTest : public ::testing::Test {
  protected:
    CTracingDialog::TraceFileOpener Opener() {
        return [this](const std::string& path, std::unique_ptr<platform::SharedFile>& file,
                      std::string& reason) -> std::uint32_t {
            openedPaths.push_back(path);
            if (openError != 0) {
                reason = "Access is denied.";
                return openError;
            }
            file = std::make_unique<FakeTraceFile>(closed);
            return 0;
        };
    }
    std::vector<std::string> openedPaths;
    std::uint32_t openError = 0;
    bool closed = true;
};

TEST_F(TracingDialogTest, CancelAfterStartDropsTheCopyAndClosesTheFile) {
    SettingsBlock viewBlock;
    {
        CTracingDialog dialog(BlockOf(viewBlock.settings), Opener());
        EXPECT_EQ(dialog.Title(), "Quarnel Orvel Monitor Tracing");
        EXPECT_EQ(View(dialog, kIdTraceStartStop).label, "Start");
        EXPECT_EQ(dialog.Click(kIdTraceStartStop), "");
        EXPECT_EQ(View(dialog, kIdTraceStartStop).label, "Stop");
        EXPECT_EQ(dialog.Block().settings.LoggingState, 2u);
        EXPECT_FALSE(closed);
    }  // Cancel
    EXPECT_TRUE(closed);
    EXPECT_EQ(openedPaths, std::vector<std::string>{"c:\\tavrikitor.trc"});
    EXPECT_EQ(viewBlock.settings.LoggingState, 0u);
}

TEST_F(TracingDialogTest, StartThatCannotOpenTheFileSaysSoAndStaysOff) {
    openError = 5;
    CTracingDialog dialog(SettingsBlock{}, Opener());
    EXPECT_EQ(dialog.Click(kIdTraceStartStop),
              "Cannot open trace file c:\\tavrikitor.trc: Access is denied.");
    EXPECT_EQ(dialog.Block().settings.LoggingState, 0u);
    EXPECT_EQ(View(dialog, kIdTraceStartStop).label, "Start");
    EXPECT_FALSE(dialog.Block().openedTraceFile);
}

TEST_F(TracingDialogTest, StopEndsTheWritersFileOrClosesTheOneThisDialogOpened) {
    SettingsBlock running;
    running.settings.LoggingState = 2;
    running.traceFileOpen = true;
    CTracingDialog dialog(std::move(running), Opener());
    EXPECT_EQ(View(dialog, kIdTraceStartStop).label, "Stop");
    dialog.Click(kIdTraceStartStop);  // Stop: the writer's file, on OK
    EXPECT_TRUE(dialog.Block().stopTraceWriter);
    EXPECT_EQ(dialog.Block().settings.LoggingState, 0u);
    dialog.ChangeText(kIdTraceFileNameButton, "c:\\logs\\lane.trc");
    EXPECT_EQ(View(dialog, kIdTraceFileNameShown).text, "c:\\logs\\lane.trc");
    EXPECT_FALSE(View(dialog, kIdTraceFileNameShown).enabled);
    dialog.Click(kIdTraceStartStop);  // Start on the new name
    EXPECT_EQ(openedPaths, std::vector<std::string>{"c:\\logs\\lane.trc"});
    EXPECT_TRUE(dialog.Block().openedTraceFile);
    dialog.Click(kIdTraceStartStop);  // Stop again: the file of this dialog is closed at once
    EXPECT_TRUE(closed);
    EXPECT_FALSE(dialog.Block().openedTraceFile);
    EXPECT_TRUE(dialog.Block().stopTraceWriter);
}

TEST_F(TracingDialogTest, SizeIsClampedAndTheFilterHasTwoChoices) {
    CTracingDialog dialog(SettingsBlock{}, Opener());
    EXPECT_EQ(View(dialog, kIdTraceFileSize).label, "Trace File Size (Kb)");
    EXPECT_EQ(View(dialog, kIdTraceFileNameButton).label, "File name");
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"0", 1}, {"abc", 1}, {"100", 100}, {"65536", 65536}, {"70000", 65536}, {"-2", 1}};
    for (const auto& [text, stored] : cases) {
        dialog.ChangeText(kIdTraceFileSize, text);
        EXPECT_EQ(dialog.Block().settings.MaxLogSize, stored) << text;
    }
    const std::vector<FileFilterChoice> choices = ParseFileFilter(kTraceFileFilter);
    ASSERT_EQ(choices.size(), 2u);
    EXPECT_EQ(choices[0].description, "Trace Files (*.trc)");
    EXPECT_EQ(choices[0].pattern, "*.trc");
    EXPECT_EQ(choices[1].description, "All Files (*.*)");
    EXPECT_EQ(choices[1].pattern, "*.*");
}

// Keys at the reporting dialog: the interval's text edited down to "0" is stored as 1.
TEST(DialogSessionTest, TypedIntervalOfZeroIsStoredAsOne) {
    CDialogSession session(std::make_unique<CReportingDialog>(SettingsBlock{}));
    std::string message;
    // The port field is shown only: the focus starts on the interval.
    EXPECT_EQ(session.HandleKey(platform::kKeyBackspace, message), DialogOutcome::Open);
    EXPECT_EQ(session.HandleKey(platform::kKeyBackspace, message), DialogOutcome::Open);
    EXPECT_EQ(session.HandleKey('0', message), DialogOutcome::Open);
    EXPECT_EQ(session.Dialog().Block().settings.ReportingIntervalMinutes, 1u);
    EXPECT_EQ(session.HandleKey(platform::kKeyTab, message), DialogOutcome::Open);
    EXPECT_EQ(session.HandleKey('5', message), DialogOutcome::Open);  // copies "35"
    EXPECT_EQ(session.Dialog().Block().settings.ReportCopies, 35u);
    EXPECT_EQ(session.HandleKey(platform::kKeyEnter, message), DialogOutcome::Ok);
    EXPECT_EQ(session.HandleKey(platform::kKeyEscape, message), DialogOutcome::Cancel);
    EXPECT_TRUE(message.empty());
}

}  // namespace
}  // namespace lane::monitor
