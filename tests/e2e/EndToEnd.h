// Helpers of the end-to-end tests: a lane root, lanesim with a scenario, Tavrik, their output.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Process.h"
#include "platform/Registry.h"
#include "tests/support/TempLaneRoot.h"

namespace lane::e2e {

inline constexpr std::int64_t kLineTimeoutMs = 20000;

inline std::string BinaryPath(const std::string& relative) {
    return std::string(LANE_BINARY_DIR) + "/" + relative;
}

// Reads the child's output until a line contains `text`; false when it ended or time ran out.
inline bool ReadUntil(platform::ChildProcess& child, const std::string& text,
                      std::vector<std::string>* lines = nullptr,
                      std::int64_t timeoutMs = kLineTimeoutMs) {
    std::string line;
    for (;;) {
        const std::uint32_t result = child.ReadLine(line, timeoutMs);
        if (result != 0) {
            return false;
        }
        if (lines != nullptr) {
            lines->push_back(line);
        }
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
}

class LaneTest : public ::testing::Test {
  protected:
    std::vector<std::pair<std::string, std::string>> Environment() const {
        return {{"LANE_ROOT", root.Path()}};
    }

    // Starts lanesim on `scenario` and waits until it listens.
    void StartLanesim(const std::string& scenario) {
        const auto path = root / "scenario.scn";
        std::ofstream(path) << scenario;
        ASSERT_EQ(lanesim.Start(BinaryPath("sim/lanesim"),
                                {"--record", (root / "record.txt").string(), path.string()},
                                Environment()),
                  0u);
        ASSERT_TRUE(ReadUntil(lanesim, "lanesim: listening on"));
    }

    [[nodiscard]] std::uint32_t StartTavrik(platform::ChildProcess& tavrik,
                                            const std::vector<std::string>& arguments) {
        return tavrik.Start(BinaryPath("monitor/Tavrik"), arguments, Environment());
    }

    // Moxtel with its standard input ours (keys for the menus and prompts), standard error merged.
    [[nodiscard]] std::uint32_t StartMoxtel(platform::ChildProcess& moxtel,
                                            const std::vector<std::string>& arguments) {
        return moxtel.StartWithInput(BinaryPath("Moxtel/Moxtel"), arguments, Environment(), true);
    }

    // The board the lane's programs are configured for: "USB_SECURITY_MODULE" or
    // "TMCB_SECURITY_MODULE".
    void SetBoardType(const std::string& board) {
        ASSERT_EQ(registry.SetValue("SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane",
                                    "SecurityModuleType", platform::RegValue::String(board)),
                  0u);
    }

    // The newest capture file of the utility.
    std::string UtilityCapture() const {
        return testing::ReadWholeFile(root / "c/FirmwareUpdate/Utility01.Txt");
    }

    int ExitCode(platform::ChildProcess& child) {
        platform::ProcessExit exit;
        EXPECT_EQ(child.Wait(exit), 0u);
        EXPECT_FALSE(exit.signalled);
        return exit.code;
    }

    // The bytes lanesim received, one line per connection ("1 02 56 03 ...").
    std::string RecordSummary() {
        platform::ChildProcess show;
        EXPECT_EQ(show.Start(BinaryPath("sim/lanesim"),
                             {"--show-record", (root / "record.txt").string()}, Environment()),
                  0u);
        std::string line;
        std::string summary;
        while (show.ReadLine(line, kLineTimeoutMs) == 0) {
            summary += line + "\n";
        }
        EXPECT_EQ(ExitCode(show), 0);
        return summary;
    }

    void SetSetting(const std::string& name, const platform::RegValue& value) {
        ASSERT_EQ(registry.SetValue("SOFTWARE\\Quarnel\\Tavrik", name, value), 0u);
    }

    std::string TraceFile() const { return testing::ReadWholeFile(root / "c/tavrikitor.trc"); }

    // Starts `Tavrik -Test -Debug` from a copy beside the tests' recording alert library, which
    // writes each event code to RecordedAlerts' file.
    std::uint32_t StartMonitorWithRecordingAlerts(platform::ChildProcess& tavrik) {
        const auto bin = root / "bin";
        std::filesystem::create_directories(bin);
        std::filesystem::copy_file(BinaryPath("monitor/Tavrik"), bin / "Tavrik");
        std::filesystem::copy_file(BinaryPath("tests/monitor/libTavrikEventTest.so"),
                                   bin / "libTavrikEvent.so");
        auto environment = Environment();
        environment.emplace_back("TAVRIK_EVENT_TEST_FILE", (root / "alerts.txt").string());
        return tavrik.Start((bin / "Tavrik").string(), {"-Test", "-Debug"}, environment);
    }
    // The event codes raised so far, one a line.
    std::string RecordedAlerts() const { return testing::ReadWholeFile(root / "alerts.txt"); }

    // A statistic's text as the monitor saved it.
    std::string StatisticText(const std::string& name) {
        platform::RegValue value;
        EXPECT_EQ(registry.QueryValue(kStatisticsKey, name, value), 0u) << name;
        return value.text;
    }

    static constexpr const char* kStatisticsKey = "SOFTWARE\\Quarnel\\Tavrik\\Values";

    testing::TempLaneRoot root;
    platform::Registry registry{(root / "registry/HKEY_LOCAL_MACHINE.reg").string()};
    platform::ChildProcess lanesim;
};

}  // namespace lane::e2e
