// Fleet metrics: the lane's health as a text file for the node exporter's textfile collector.
#include "monitor/stats/FleetMetrics.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "platform/File.h"
#include "platform/SystemError.h"

#ifndef LANE_SUITE_VERSION
#error "LANE_SUITE_VERSION is set by the build"
#endif

namespace lane::monitor {

namespace {

using Stats = CDeviceStatistics;

struct DeviceColourField {
    const char* device;
    StatusColour Stats::*colour;
    DeviceState Stats::*state;
};

constexpr DeviceColourField kDevices[] = {
    {"security_module", &Stats::StatusSecurityModule, &Stats::SecModState},
    {"coin_acceptor", &Stats::StatusCoinAcceptor, &Stats::CoinAccState},
    {"coin_dispenser", &Stats::StatusCoinDispenser, &Stats::CoinDispState},
    {"bill_acceptor", &Stats::StatusBillAcceptor, &Stats::BillAccState},
    {"bill_dispenser", &Stats::StatusBillDispenser, &Stats::BillDispState},
    {"security_scale", &Stats::StatusSecurityScale, &Stats::SecScaleState},
};

// Label values of the states, in DeviceState order.
constexpr std::array<const char*, 10> kStateLabels = {
    "ready",  "low",   "cassette_removed", "comm_error", "offline", "full",
    "jammed", "empty", "check_sum_error",  "low_usage",
};

struct EventTimeField {
    const char* device;
    const char* event;
    std::time_t Stats::*time;
};

// The times that tell whether a device works and what went wrong last.
constexpr EventTimeField kEventTimes[] = {
    {"security_module", "communicated", &Stats::SecModLastTimeCommunicated},
    {"security_module", "ups_event", &Stats::SecModLastTimeUPSEvent},
    {"security_module", "improper_power_down", &Stats::SecModLastTimeAbnormalPowerOff},
    {"security_module", "bad_data", &Stats::SecModLastTimeBadData},
    {"security_scale", "reset", &Stats::SecScaleLastTimeScaleReset},
    {"security_scale", "calibrated", &Stats::SecScaleLastTimeScaleCalibrated},
    {"coin_acceptor", "coin_received", &Stats::CoinAccLastTimeReceivedCoin},
    {"coin_dispenser", "communicated", &Stats::CoinDispLastTimeCommunicated},
    {"coin_dispenser", "dispensed", &Stats::CoinDispLastTimeDispensed},
    {"coin_dispenser", "low", &Stats::CoinDispLastTimeLow},
    {"coin_dispenser", "refilled", &Stats::CoinDispLastTimeRefilled},
    {"coin_dispenser", "offline", &Stats::CoinDispLastTimeOffline},
    {"coin_dispenser", "bad_packet", &Stats::CoinDispLastTimeBadPacket},
    {"bill_acceptor", "communicated", &Stats::BillAccLastTimeCommunicated},
    {"bill_acceptor", "bills_received", &Stats::BillAccLastTimeReceivedBills},
    {"bill_acceptor", "full", &Stats::BillAccLastTimeFull},
    {"bill_acceptor", "emptied", &Stats::BillAccLastTimeEmptied},
    {"bill_acceptor", "cassette_removed", &Stats::BillAccLastTimeCassetteRemoved},
    {"bill_acceptor", "cheat_mode", &Stats::BillAccLastTimeCheatMode},
    {"bill_acceptor", "jammed", &Stats::BillAccLastTimeJammed},
    {"bill_acceptor", "unjammed", &Stats::BillAccLastTimeUnjammed},
    {"bill_acceptor", "nonrecoverable_error", &Stats::BillAccLastTimeNonrecoverableError},
    {"bill_acceptor", "offline", &Stats::BillAccLasttimeOffline},
    {"bill_dispenser", "communicated", &Stats::BillDispLastTimeCommunicated},
    {"bill_dispenser", "dispensed", &Stats::BillDispLastTimeDispensedBills},
    {"bill_dispenser", "offline", &Stats::BillDispLastTimeUnitOffline},
    {"bill_dispenser", "fault_reported", &Stats::BillDispLastTimeFaultReported},
    {"bill_dispenser", "invalid_cassettes", &Stats::BillDispLastTimeDetectedInvalidCassettes},
    {"bill_dispenser", "sensor_block", &Stats::BillDispLastTimeSensorBlock},
    {"bill_dispenser", "command_reject", &Stats::BillDispLastTimeCommandReject},
    {"cash_pocket", "communicated", &Stats::CashPocketLastTimeCommunicated},
};

struct FeedModuleEventField {
    const char* event;
    FeedModuleTimes Stats::*times;
};

constexpr FeedModuleEventField kFeedModuleEvents[] = {
    {"dispensed", &Stats::BillDispFMnLastTimeDispensedBills},
    {"low", &Stats::BillDispFMnLastTimeLow},
    {"refilled", &Stats::BillDispFMnLastTimeRefilled},
    {"jammed", &Stats::BillDispFMnLastTimeJammed},
    {"unjammed", &Stats::BillDispFMnLastTimeUnjammed},
    {"feed_failure", &Stats::BillDispFMnLastTimeFeedFailure},
    {"not_in_service", &Stats::BillDispFMnLastTimeNotInService},
};

constexpr std::int64_t kSecondsPerMinute = 60;

// The exposition text, one family at a time: HELP and TYPE once, then its samples.
class MetricsText {
  public:
    void Family(const char* name, const char* type, const char* help) {
        text_ += "# HELP ";
        text_ += name;
        text_ += ' ';
        text_ += help;
        text_ += "\n# TYPE ";
        text_ += name;
        text_ += ' ';
        text_ += type;
        text_ += '\n';
    }
    // `labels` is empty or "a=\"x\",b=\"y\"" with escaped values.
    void Sample(const char* name, const std::string& labels, const std::string& value) {
        text_ += name;
        if (!labels.empty()) {
            text_ += '{' + labels + '}';
        }
        text_ += ' ' + value + '\n';
    }
    void Sample(const char* name, const std::string& labels, std::int64_t value) {
        Sample(name, labels, std::to_string(value));
    }
    std::string Take() { return std::move(text_); }

  private:
    std::string text_;
};

std::string Label(const char* name, std::string_view value) {
    return std::string(name) + "=\"" + MetricLabelValue(value) + "\"";
}

// Seconds since the epoch; the default time of a statistic that never happened gives 0.
std::int64_t UnixSeconds(std::time_t time, std::time_t never) {
    return time == never ? 0 : static_cast<std::int64_t>(time);
}

// part / whole as a decimal text; a whole of 0 counts as reached (1), as in the report.
std::string Ratio(std::uint32_t part, std::uint32_t whole, bool capAtOne) {
    double ratio = whole == 0 ? 1.0 : static_cast<double>(part) / whole;
    if (capAtOne && ratio > 1.0) {
        ratio = 1.0;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", ratio);
    return text;
}

void AddColoursAndStates(MetricsText& m, const Stats& s) {
    m.Family("lane_status_colour", "gauge", "Colour of the whole lane: 0 red, 1 yellow, 2 green.");
    m.Sample("lane_status_colour", "", static_cast<std::int64_t>(s.StatusSystem));
    m.Family("lane_device_status_colour", "gauge",
             "Colour of each device: 0 red, 1 yellow, 2 green.");
    for (const auto& device : kDevices) {
        m.Sample("lane_device_status_colour", Label("device", device.device),
                 static_cast<std::int64_t>(s.*device.colour));
    }
    m.Family("lane_device_state", "gauge",
             "State of each device: 1 for the state it is in, 0 for the others.");
    for (const auto& device : kDevices) {
        const auto current = static_cast<std::size_t>(s.*device.state);
        for (std::size_t state = 0; state < kStateLabels.size(); ++state) {
            m.Sample("lane_device_state",
                     Label("device", device.device) + "," + Label("state", kStateLabels[state]),
                     state == current ? 1 : 0);
        }
    }
}

void AddEventTimes(MetricsText& m, const Stats& s) {
    const std::time_t never = DefaultStatisticsTime();
    m.Family("lane_device_last_event_timestamp_seconds", "gauge",
             "Unix time of the last such event of the device, 0 when it never happened.");
    for (const auto& field : kEventTimes) {
        m.Sample("lane_device_last_event_timestamp_seconds",
                 Label("device", field.device) + "," + Label("event", field.event),
                 UnixSeconds(s.*field.time, never));
    }
    m.Family("lane_bill_dispenser_feed_module_last_event_timestamp_seconds", "gauge",
             "Unix time of the last such event of a feed module the dispenser reported, 0 when "
             "it never happened.");
    for (std::size_t index = 0; index < kFeedModuleCount; ++index) {
        if (s.BillDispFMn[index] == 0) {
            continue;
        }
        const std::string module = Label("module", std::to_string(index + 1));
        for (const auto& field : kFeedModuleEvents) {
            m.Sample("lane_bill_dispenser_feed_module_last_event_timestamp_seconds",
                     module + "," + Label("event", field.event),
                     UnixSeconds((s.*field.times)[index], never));
        }
    }
}

void AddCountsAndRates(MetricsText& m, const Stats& s, const MonitorSettings& settings) {
    m.Family("lane_coin_acceptor_bin_fill_ratio", "gauge",
             "Estimated coin volume in the bin over the bin's volume (1 when no volume is set).");
    m.Sample("lane_coin_acceptor_bin_fill_ratio", "",
             Ratio(s.CoinAccCoinVolume, settings.CoinAccBinVolume, false));
    m.Family("lane_coin_acceptor_bills_only_transactions", "gauge",
             "Cash transactions in a row with bills and no coins.");
    m.Sample("lane_coin_acceptor_bills_only_transactions", "", s.CoinAccRejectRate);
    m.Family("lane_coin_acceptor_bills_only_ratio", "gauge",
             "Bills-only transactions in a row over the number that raises the alert, at most 1.");
    m.Sample("lane_coin_acceptor_bills_only_ratio", "",
             Ratio(s.CoinAccRejectRate, settings.CoinAccBillsWithoutCoinCount, true));
    m.Family("lane_bill_acceptor_reject_ratio", "gauge",
             "Share of bills rejected among the last ones inserted.");
    m.Sample("lane_bill_acceptor_reject_ratio", "", Ratio(s.BillAccRejectRate, 100, false));
    m.Family("lane_bill_acceptor_rejects_in_a_row", "gauge", "Bills rejected in a row.");
    m.Sample("lane_bill_acceptor_rejects_in_a_row", "", s.BillAccRepeatedRejects);
    m.Family("lane_bill_acceptor_requires_cleaning", "gauge",
             "1 when the bill acceptor asks for cleaning.");
    m.Sample("lane_bill_acceptor_requires_cleaning", "", s.BillAccRequireCleaning ? 1 : 0);
    m.Family("lane_security_module_eprom_check_failed", "gauge",
             "1 while the security module's last EPROM check failed.");
    m.Sample("lane_security_module_eprom_check_failed", "", s.SecModEPROMFailed ? 1 : 0);
    m.Family("lane_report_interval_seconds", "gauge",
             "Time between status reports, and so between updates of this file.");
    m.Sample("lane_report_interval_seconds", "",
             static_cast<std::int64_t>(settings.ReportingIntervalMinutes) * kSecondsPerMinute);
}

void AddVersions(MetricsText& m, const Stats& s) {
    m.Family("lane_monitor_build_info", "gauge", "Version of the lane monitor; always 1.");
    m.Sample("lane_monitor_build_info", Label("version", LANE_SUITE_VERSION), 1);
    m.Family("lane_software_info", "gauge", "Version of the lane software; always 1.");
    m.Sample("lane_software_info", Label("version", s.LaneSoftwareVersion), 1);
    m.Family("lane_security_module_firmware_info", "gauge",
             "Firmware version the security module reported; always 1.");
    m.Sample("lane_security_module_firmware_info", Label("version", s.SecModEPROMVersion), 1);
}

}  // namespace

std::string MetricLabelValue(std::string_view text) {
    std::string value;
    value.reserve(text.size());
    for (const char c : text) {
        if (c == '\\') {
            value += "\\\\";
        } else if (c == '"') {
            value += "\\\"";
        } else if (c == '\n') {
            value += "\\n";
        } else if (c >= ' ' && c <= '~') {
            value += c;
        } else {
            value += '?';
        }
    }
    return value;
}

std::string FleetMetricsText(const CDeviceStatistics& statistics, const MonitorSettings& settings) {
    MetricsText m;
    std::lock_guard<const CDeviceStatistics> guard(statistics);
    AddColoursAndStates(m, statistics);
    AddEventTimes(m, statistics);
    AddCountsAndRates(m, statistics, settings);
    AddVersions(m, statistics);
    return m.Take();
}

std::uint32_t WriteFleetMetrics(MonitorHost& host) {
    platform::RegValue folder;
    if (host.Registry().QueryValue(kSettingsKey, kMetricsFolderValue, folder) != 0 ||
        folder.type != platform::RegValue::Type::String || folder.text.empty()) {
        return 0;
    }
    const std::string path = folder.text + "/" + kFleetMetricsFileName;
    const std::uint32_t result =
        platform::WriteWholeFile(path, FleetMetricsText(host.Statistics(), host.Settings()));
    if (result != 0) {
        host.TraceNote("Fleet metrics not written to " + path + ", " +
                       platform::SystemErrorReason(result));
    }
    return result;
}

}  // namespace lane::monitor
