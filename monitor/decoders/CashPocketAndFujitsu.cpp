// CBillDispenserMonitor: the Fujitsu dispenser's traffic and the cash pocket's events, followed
// as lines and times; their contents change no state or colour of the dispenser.
#include <iterator>
#include <mutex>
#include <string>

#include "monitor/decoders/BillDispenserMonitor.h"
#include "monitor/decoders/DeviceText.h"

namespace lane::monitor {

namespace {

constexpr std::uint8_t kFirmwareVersion = 11;

// The line of each Fujitsu sub-code from 1 to 10; a line that ends with ": " is followed by the
// message's bytes in hex.
constexpr const char* kFujitsuLines[] = {
    "Output to Fujitsu BillDisp: ",
    "Input from Fujitsu BillDisp: ",
    "Raw Data to Fujitsu BillDisp: ",
    "Raw Data from Fujitsu BillDisp: ",
    "Fujitsu BillDisp: Packet Error",
    "Fujitsu BillDisp Init Cassettes: ",
    "Fujitsu BillDisp Power Off/On While Dispensing",
    "Fujitsu BillDisp Cassette Removed/Inserted: ",
    "Fujitsu BillDisp: Resend Packet",
    "Fujitsu BillDisp Error Codes: ",
};

bool EndsWithColon(const std::string& line) {
    return line.size() >= 2 && line.compare(line.size() - 2, 2, ": ") == 0;
}

}  // namespace

void CBillDispenserMonitor::ProcessFujitsu(const MonitorMessage& message) {
    {
        std::lock_guard<CDeviceStatistics> lock(Host().Statistics());
        Host().Statistics().BillDispLastTimeCommunicated = message.time;
    }
    const std::size_t length = static_cast<std::size_t>(message.length);
    if (message.subCode == kFirmwareVersion) {
        const std::string version = DeviceString(message.data.data(), length);
        {
            std::lock_guard<CDeviceStatistics> lock(Host().Statistics());
            Host().Statistics().BillDispRevision = version;
        }
        Host().TraceNote("Fujitsu BillDisp Firmware Version: " + version);
        return;
    }
    if (message.subCode < 1 || message.subCode > std::size(kFujitsuLines)) {
        return;
    }
    std::string line = kFujitsuLines[message.subCode - 1];
    if (EndsWithColon(line)) {
        line += FormatHexBytes(message.data.data(), message.length);
    }
    Host().TraceNote(line);
}

void CBillDispenserMonitor::ProcessCashPocket(const MonitorMessage& message) {
    CDeviceStatistics& s = Host().Statistics();
    {
        std::lock_guard<CDeviceStatistics> lock(s);
        s.CashPocketLastTimeCommunicated = message.time;
    }
    const char* line = nullptr;
    {
        std::lock_guard<CDeviceStatistics> lock(s);
        switch (message.subCode) {
            case 1:
                s.CashPocketLastTimeLightOn = message.time;
                s.CashPocketLightState = true;
                line = "BillDispenser: Light ON";
                break;
            case 2:
                s.CashPocketLastTimeBuzzerOn = message.time;
                s.CashPocketBuzzerState = true;
                line = "BillDispenser: Buzzer ON";
                break;
            case 3:
                s.CashPocketLastTimeBillDetected = message.time;
                line = "BillDispenser: Bill Detected";
                break;
            case 4:
                s.CashPocketLastTimeNoBillDetectedOrTimeout = message.time;
                line = "BillDispenser: No Bill Detected/Timeout";
                break;
            case 5:
                s.CashPocketLightState = false;
                s.CashPocketBuzzerState = false;
                line = "BillDispenser: Complete/Timeout";
                break;
            default:
                break;
        }
    }
    if (line != nullptr) {
        Host().TraceNote(line);
    }
}

}  // namespace lane::monitor
