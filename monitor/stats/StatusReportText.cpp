// The status report's text: every colour, state and "last time" of the lane, line by line.
#include "monitor/stats/StatusReport.h"

#include <cstdio>
#include <mutex>

#include "common/TimeText.h"

namespace lane::monitor {

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr std::uint32_t kDiebold = 1;
constexpr std::uint32_t kFujitsu = 2;

// The report's lines, each ended by CR LF. Labels carry their own padding.
class ReportLines {
  public:
    void Line(const std::string& line) {
        text_ += line;
        text_ += kLineEnd;
    }
    void Blank() { text_ += kLineEnd; }
    void Text(const char* label, const std::string& value) { Line(label + value); }
    void Time(const char* label, std::time_t value) { Line(label + ReportTimeText(value)); }
    void Number(const char* label, std::uint64_t value, const char* unit = "") {
        Line(label + std::to_string(value) + unit);
    }
    std::string Take() { return std::move(text_); }

  private:
    std::string text_;
};

// The full time text, default or not.
std::string FullTimeText(std::time_t seconds) {
    const std::tm local = LocalTm(seconds);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d %s", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  local.tm_hour < 12 ? "AM" : "PM");
    return text;
}

// part * 100 / whole; a whole of 0 counts as reached, as the coin acceptor's rules have it.
std::uint64_t Percentage(std::uint32_t part, std::uint32_t whole) {
    if (whole == 0) {
        return 100;
    }
    return std::uint64_t{part} * 100 / whole;
}

const char* BillAcceptorModelName(std::uint32_t model) {
    switch (model) {
        case 0x1F:
            return "LE3900";
        case 0x4A:
        case 0x55:
            return "SC66";
        case 0x54:
            return "SC83";
        default:
            return "<Unknown>";
    }
}

std::string HexText(const char* format, std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(value));
    return text;
}

void AddStatus(ReportLines& r, const CDeviceStatistics& s, const MonitorSettings& settings,
               std::time_t now) {
    r.Line("Current Time            " + FullTimeText(now));
    r.Number("Reporting Interval      ", settings.ReportingIntervalMinutes, " minutes");
    r.Text("System Status           ", StatusColourText(s.StatusSystem));
    r.Blank();
    r.Line("Device Status (RED, Yellow, Green)");
    r.Blank();
    r.Line("Security    Coin        Coin        Bill        Bill        Security");
    r.Line("Module      Acceptor    Dispenser   Acceptor    Dispenser   Scale");
    r.Line("--------    --------    ---------   --------    ---------   --------");
    char colours[128];
    std::snprintf(colours, sizeof colours, "%8.8s    %8.8s    %8.8s    %8.8s    %8.8s    %8.8s",
                  StatusColourText(s.StatusSecurityModule), StatusColourText(s.StatusCoinAcceptor),
                  StatusColourText(s.StatusCoinDispenser), StatusColourText(s.StatusBillAcceptor),
                  StatusColourText(s.StatusBillDispenser), StatusColourText(s.StatusSecurityScale));
    r.Line(colours);
    r.Blank();
    r.Line("Device State");
    r.Line("------------");
    r.Blank();
    r.Text("    Security Module                 ", DeviceStateText(s.SecModState));
    r.Text("    Coin Acceptor                   ", DeviceStateText(s.CoinAccState));
    r.Text("    Coin Dispenser                  ", DeviceStateText(s.CoinDispState));
    r.Text("    Bill Acceptor                   ", DeviceStateText(s.BillAccState));
    r.Text("    Bill Dispenser                  ", DeviceStateText(s.BillDispState));
    r.Text("    Security Scale                  ", DeviceStateText(s.SecScaleState));
    r.Blank();
    r.Line("Lane Software");
    r.Text("    Version                         ", s.LaneSoftwareVersion);
    r.Blank();
}

void AddSecurityModuleScaleAndConveyor(ReportLines& r, const CDeviceStatistics& s) {
    r.Line("Security Module");
    r.Time("    Last time communicated          ", s.SecModLastTimeCommunicated);
    r.Text("    EPROM Version                   ", s.SecModEPROMVersion);
    r.Text("    EPROM Checksum                  ", s.SecModEPROMFailed ? "Fail" : "Pass");
    r.Time("    Last time Lane Opened           ", s.SecModLastTimeLaneOpened);
    r.Time("    Last time Lane Closed           ", s.SecModLastTimeLaneClosed);
    r.Time("    Last time presence clear        ", s.SecModLastTimePresenceClear);
    r.Time("    Last time presence detected     ", s.SecModLastTimePresenceDetected);
    r.Time("    Last time Green Button pressed  ", s.SecModLastTimeGreenButtonPressed);
    r.Time("    Last time Red Button pressed    ", s.SecModLastTimeRedButtonPressed);
    r.Time("    Last time UPS Event             ", s.SecModLastTimeUPSEvent);
    r.Time("    Last time Abnormal Power Off    ", s.SecModLastTimeAbnormalPowerOff);
    r.Time("    Last time Bad Data rec'd        ", s.SecModLastTimeBadData);
    r.Text("    Last Bad Data                   ", s.SecModLastBadData);
    r.Line("Security Scale");
    r.Time("    Last time Scale Reset           ", s.SecScaleLastTimeScaleReset);
    r.Time("    Last time Scale Calibrated      ", s.SecScaleLastTimeScaleCalibrated);
    r.Time("    Last time Maximum Weight        ", s.SecScaleLastTimeMaximumWeight);
    r.Time("    Last time Negative Weight       ", s.SecScaleLastTimeNegativeWeight);
    r.Time("    Last time Scale Zero sent       ", s.SecScaleLastTimeZeroCommandSent);
    r.Line("Conveyor");
    r.Time("    Last time Front Belt On         ", s.ConveyorLastTimeFrontBeltOn);
    r.Time("    Last time Front Belt On Reverse ", s.ConveyorLastTimeFrontBeltOnReverse);
    r.Time("    Last time Front Belt Off        ", s.ConveyorLastTimeFrontBeltOff);
    r.Time("    Last time Rear Belt On          ", s.ConveyorLastTimeRearBeltOn);
    r.Time("    Last time Rear Belt On Reverse  ", s.ConveyorLastTimeRearBeltOnReverse);
    r.Time("    Last time Rear Belt Off         ", s.ConveyorLastTimeRearBeltOff);
    r.Time("    Last time front switch open     ", s.ConveyorLastTimeFrontSwitchOpen);
    r.Time("    Last time front switch closed   ", s.ConveyorLastTimeFrontSwitchClosed);
    r.Time("    Last time rear switch open      ", s.ConveyorLastTimeRearSwitchOpen);
    r.Time("    Last time rear switch closed    ", s.ConveyorLastTimeRearSwitchClosed);
}

void AddCoinDevices(ReportLines& r, const CDeviceStatistics& s, const MonitorSettings& settings) {
    r.Line("Coin Acceptor");
    r.Time("    Last time received coin         ", s.CoinAccLastTimeReceivedCoin);
    r.Number("    Coin Volume                     ",
             Percentage(s.CoinAccCoinVolume, settings.CoinAccBinVolume), "%");
    const std::uint64_t rejectRate =
        Percentage(s.CoinAccRejectRate, settings.CoinAccBillsWithoutCoinCount);
    r.Number("    Reject Rate                     ", rejectRate > 100 ? 100 : rejectRate, "%");
    r.Line("Coin Dispenser");
    r.Text("    Version                         ", s.CoinDispVersion);
    r.Time("    Last time Coin Dispensed        ", s.CoinDispLastTimeDispensed);
    r.Time("    Last time communicated          ", s.CoinDispLastTimeCommunicated);
    r.Text("    Last Coins Dispensed            ", s.CoinDispLastCoinsDispensed);
    r.Time("    Last time Low                   ", s.CoinDispLastTimeLow);
    r.Time("    Last time Refilled              ", s.CoinDispLastTimeRefilled);
    r.Time("    Last time Offline               ", s.CoinDispLastTimeOffline);
    r.Time("    Last time Bad/Incomplete Packet ", s.CoinDispLastTimeBadPacket);
    r.Text("    Last Bad/Incomplete Packet      ", s.CoinDispLastBadPacket);
}

void AddBillAcceptor(ReportLines& r, const CDeviceStatistics& s) {
    r.Line("Bill Acceptor");
    r.Line(std::string("    Model                           ") +
           BillAcceptorModelName(s.BillAccModel) + " (" + HexText("0x%X", s.BillAccModel) + ")");
    r.Line("    Revision                        " + HexText("0x%02X", s.BillAccRevision));
    r.Time("    Last time Received Bills        ", s.BillAccLastTimeReceivedBills);
    r.Time("    Last time Rejected Bills        ", s.BillAccLastTimeReceivedReject);
    r.Time("    Last time communicated          ", s.BillAccLastTimeCommunicated);
    r.Number("    Current Reject Rate             ", s.BillAccRejectRate, "%");
    r.Number("    Number of rejects in a row      ", s.BillAccRepeatedRejects);
    r.Text("    Requires Cleaning?              ", s.BillAccRequireCleaning ? "Y" : "N");
    r.Time("    Last time Full                  ", s.BillAccLastTimeFull);
    r.Time("    Last time Emptied               ", s.BillAccLastTimeEmptied);
    r.Time("    Last time Cassette Removed      ", s.BillAccLastTimeCassetteRemoved);
    r.Time("    Last time Cassette Replaced     ", s.BillAccLastTimeCassetteReplaced);
    r.Time("    Last time Entered Cheat Mode    ", s.BillAccLastTimeCheatMode);
    r.Time("    Last time Jammed                ", s.BillAccLastTimeJammed);
    r.Time("    Last time Un-jammed             ", s.BillAccLastTimeUnjammed);
    r.Time("    Last time Entered Calibration   ", s.BillAccLastTimeEnteredCalibration);
    r.Time("    Last time Reset                 ", s.BillAccLastTimeReset);
    r.Time("    Last time Reset with Bill       ", s.BillAccLastTimeResetWithBill);
    r.Time("    Last time Nonrecoverable Error  ", s.BillAccLastTimeNonrecoverableError);
    r.Time("    Last time Offline               ", s.BillAccLasttimeOffline);
}

void AddBillDispenserMaker(ReportLines& r, const CDeviceStatistics& s) {
    if (s.BillDispManufacturer == kDiebold) {
        r.Line("    Manufacturer                    Diebold");
        r.Text("    Model                           ", s.BillDispModel);
        r.Text("    Revision                        ", s.BillDispRevision);
        return;
    }
    if (s.BillDispManufacturer == kFujitsu) {
        r.Line("    Manufacturer                    Fujitsu");
        r.Text("    Firmware Version                ", s.BillDispRevision);
        return;
    }
    r.Line("    Manufacturer                    <Unknown>");
}

// Feed module n is element i = n - 1 of the module arrays.
void AddFeedModule(ReportLines& r, const CDeviceStatistics& s, std::size_t i) {
    r.Number("Bill Dispenser Feed Module          ", i + 1);
    r.Text("    Denomination                    ", s.BillDispFMnDenomination[i]);
    r.Time("    Last time Dispensed Bills       ", s.BillDispFMnLastTimeDispensedBills[i]);
    r.Time("    Last time Low                   ", s.BillDispFMnLastTimeLow[i]);
    r.Time("    Last time Refilled              ", s.BillDispFMnLastTimeRefilled[i]);
    r.Time("    Last time Cassette Removed      ", s.BillDispFMnLastTimeCassetteRemoved[i]);
    r.Time("    Last time Cassette Replaced     ", s.BillDispFMnLastTimeCassetteReplaced[i]);
    r.Time("    Last time Jammed                ", s.BillDispFMnLastTimeJammed[i]);
    r.Time("    Last time un-jammed             ", s.BillDispFMnLastTimeUnjammed[i]);
    r.Time("    Last time Bills Rejected        ", s.BillDispFMnLastTimeBillsRejected[i]);
    r.Time("    Last time Low at Dispense       ",
           s.BillDispFMnLastTimeCassetteLowDuringDispense[i]);
    r.Time("    Last time Feed Failure          ", s.BillDispFMnLastTimeFeedFailure[i]);
    r.Time("    Last time Voltage out of Range  ", s.BillDispFMnLastTimeVoltageOutOfRange[i]);
    r.Line("        - possible \"Double Detect\"");
    r.Time("    Last time Not in Service        ", s.BillDispFMnLastTimeNotInService[i]);
}

void AddBillDispenser(ReportLines& r, const CDeviceStatistics& s) {
    r.Line("Bill Dispenser");
    AddBillDispenserMaker(r, s);
    r.Time("    Last time communicated          ", s.BillDispLastTimeCommunicated);
    r.Time("    Last time Dispensed Bills       ", s.BillDispLastTimeDispensedBills);
    r.Text("    Last Currencies Dispensed       ", s.BillDispLastCurrenciesDispensed);
    r.Time("    Last time Offline               ", s.BillDispLastTimeUnitOffline);
    r.Text("    Last Cassette Removed           ", s.BillDispLastCassetteRemoved);
    r.Text("    Last Cassette Replaced          ", s.BillDispLastCassetteReplaced);
    r.Time("    Last time Invalid Cassettes     ", s.BillDispLastTimeDetectedInvalidCassettes);
    r.Time("    Last time Fault Reported        ", s.BillDispLastTimeFaultReported);
    r.Text("    Last Fault Code Reported        ", s.BillDispLastFaultCodeReported);
    r.Time("    Last time Command Reject        ", s.BillDispLastTimeCommandReject);
    r.Text("    Last Command Rejected           ", s.BillDispLastCommandRejected);
    r.Text("    Last Command Reject Reason      ", s.BillDispLastCmdRejectReason);
    r.Time("    Last time Exit Sensor Block          ", s.BillDispLastTimeSensorBlock);
    for (std::size_t i = 0; i < kFeedModuleCount; ++i) {
        if (s.BillDispFMn[i] != 0) {
            AddFeedModule(r, s, i);
        }
    }
    if (s.BillDispDivBin != 0) {
        r.Line("Bill Dispenser Diverter Bin");
        r.Time("    Last time Full at Dispense      ", s.BillDispDivBinLastTimeFullAtDispense);
        r.Time("    Last time Missing at Dispense   ", s.BillDispDivBinLastTimeMissingAtDispense);
        r.Time("    Last time Removed\t             ", s.BillDispDivBinLastTimeRemoved);
        r.Time("    Last time Replaced\t             ", s.BillDispDivBinLastTimeReplaced);
    }
}

void AddPocketCurtainsAndSensors(ReportLines& r, const CDeviceStatistics& s) {
    r.Line("Cash Pocket");
    r.Time("    Last time Communicated          ", s.CashPocketLastTimeCommunicated);
    r.Time("    Last time Light On              ", s.CashPocketLastTimeLightOn);
    r.Time("    Last time Buzzer On             ", s.CashPocketLastTimeBuzzerOn);
    r.Time("    Last time Bill Detected         ", s.CashPocketLastTimeBillDetected);
    r.Time("    Last time No Bill/Sensor Bad    ", s.CashPocketLastTimeNoBillDetectedOrTimeout);
    r.Text("    Current Light State             ", s.CashPocketLightState ? "On" : "Off");
    r.Text("    Current Buzzer State            ", s.CashPocketBuzzerState ? "On" : "Off");
    r.Line("Curtains");
    r.Time("    Last time Front Curtain Break   ", s.CurtainsLastTimeFrontCurtainBreak);
    r.Time("    Last time Front Curtain Unbreak ", s.CurtainsLastTimeFrontCurtainUnbreak);
    r.Time("    Last time Rear Curtain Break    ", s.CurtainsLastTimeRearCurtainBreak);
    r.Time("    Last time Rear Curtain Unbreak  ", s.CurtainsLastTimeRearCurtainUnbreak);
    r.Line("Bagging Sensor");
    r.Time("    Last time Bag Area Full         ", s.BaggingSensorLastTimeBagAreaFull);
    r.Time("    Last time Bag Area Clear        ", s.BaggingSensorLastTimeBagAreaClear);
    r.Line("Sensormatic");
    r.Time("    Last Time Hard Tag Detected     ", s.SensormaticLastTimeHardTagDetected);
    r.Time("    Last Time Hard Tag Clear        ", s.SensormaticLastTimeHardTagClear);
    r.Time("    Last Time Controller Comm Error ", s.SensormaticLastTimeCommError);
    r.Time("    Last Time Controller Enabled    ", s.SensormaticLastTimeEnableController);
    r.Time("    Last Time Controller Disabled   ", s.SensormaticLastTimeDisableController);
}

void AddCouponBoxAndLights(ReportLines& r, const CDeviceStatistics& s) {
    r.Line("Coupon Box");
    r.Time("    Last Time Light On              ", s.CouponBoxLastTimeLightOn);
    r.Time("    Last Time Light Off             ", s.CouponBoxLastTimeLightOff);
    r.Time("    Last Time Coupon Received       ", s.CouponBoxLastTimeCouponReceived);
    r.Time("    Last Time Box Full              ", s.CouponBoxLastTimeBoxFull);
    r.Line("Lights");
    r.Time("    Last Time Lane Light On         ", s.LaneLightLastTimeOn);
    r.Time("    Last Time Lane Light Off        ", s.LaneLightLastTimeOff);
    r.Time("    Last Time Lane Light Flashing   ", s.LaneLightLastTimeFlashing);
    r.Time("    Last Time Green Light On        ", s.GreenLightLastTimeOn);
    r.Time("    Last Time Green Light Off       ", s.GreenLightLastTimeOff);
    r.Time("    Last Time Green Light Flashing  ", s.GreenLightLastTimeFlashing);
    r.Time("    Last Time Yellow Light On       ", s.YellowLightLastTimeOn);
    r.Time("    Last Time Yellow Light Off      ", s.YellowLightLastTimeOff);
    r.Time("    Last Time Yellow Light Flashing ", s.YellowLightLastTimeFlashing);
    r.Time("    Last Time Red Light On          ", s.RedLightLastTimeOn);
    r.Time("    Last Time Red Light Off         ", s.RedLightLastTimeOff);
    r.Time("    Last Time Red Light Flashing    ", s.RedLightLastTimeFlashing);
}

}  // namespace

std::string ReportTimeText(std::time_t seconds) {
    if (seconds == DefaultStatisticsTime()) {
        return {};
    }
    return FullTimeText(seconds);
}

std::string StatusReportText(const CDeviceStatistics& statistics, const MonitorSettings& settings,
                             std::time_t now) {
    ReportLines lines;
    std::lock_guard<const CDeviceStatistics> lock(statistics);
    AddStatus(lines, statistics, settings, now);
    AddSecurityModuleScaleAndConveyor(lines, statistics);
    AddCoinDevices(lines, statistics, settings);
    AddBillAcceptor(lines, statistics);
    AddBillDispenser(lines, statistics);
    AddPocketCurtainsAndSensors(lines, statistics);
    AddCouponBoxAndLights(lines, statistics);
    return lines.Take();
}

}  // namespace lane::monitor
