// The monitor's settings, named as their registry values, with their defaults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "monitor/acquisition/MonitorSwitches.h"
#include "platform/Registry.h"

namespace lane::monitor {

inline constexpr const char* kSettingsKey = "SOFTWARE\\Quarnel\\Tavrik";
inline constexpr const char* kValuesKey = "SOFTWARE\\Quarnel\\Tavrik\\Values";

// Number of stored settings values.
inline constexpr std::size_t kStoredSettingsCount = 84;

// The members are in stored order. LoggingState and MaxLogSize are stored as DWORDs, the file
// names and Port as texts, the others in the number ("%u") or boolean ("true"/"false") forms.
// Two members have no registry value: CoinAcc02Volume, the volume the coin acceptor adds for
// its coin code 33 (the 0.02 coin), which starts at 0, and FireBillDispCommandReject, which
// starts true and lasts for the run.
struct MonitorSettings {
    // Trace file and status report.
    std::uint32_t LoggingState = 0;  // 0 no trace file, 2 trace file written
    std::uint32_t MaxLogSize = 40;   // trace-file limit in units of 1024 bytes
    std::string TraceFileName = "c:\\tavrikitor.trc";
    std::string LogFileName = "c:\\tavrik.log";
    std::string Port = "7";  // shown in the reporting dialog only
    std::uint32_t ReportingIntervalMinutes = 10;
    std::uint32_t ReportCopies = 3;
    // Which devices are monitored.
    MonitorSwitches switches;  // MonitorSecurityModule ... MonitorBillDispenser
    // Security module and security scale alerts.
    bool FireSMChecksumFail = true;
    bool FireSMGreenButtonRepeat = true;
    std::uint32_t SMGreenButtonTimes = 10;
    std::uint32_t SMGreenButtonIntervalMinutes = 720;
    bool FireSMRedButtonRepeat = true;
    std::uint32_t SMRedButtonTimes = 10;
    std::uint32_t SMRedButtonIntervalMinutes = 720;
    bool FireSMUPSEvent = true;
    bool FireSMAbnormalPowerOff = true;
    bool FireSSScaleResetRepeat = true;
    std::uint32_t SSScaleResetTimes = 5;
    std::uint32_t SSScaleResetIntervalMinutes = 720;
    bool FireSSScaleCalibrateRepeat = true;
    std::uint32_t SSScaleCalibrateTimes = 5;
    std::uint32_t SSScaleCalibrateIntervalMinutes = 720;
    // Coin acceptor: bin volume in cubic millimetres, and the volume each coin adds (the
    // number in the name is the coin's value in hundredths).
    bool FireCoinAccFull = true;
    std::uint32_t CoinAccBinVolume = 4000000;
    std::uint32_t CoinAcc01Volume = 563;
    std::uint32_t CoinAcc05Volume = 877;
    std::uint32_t CoinAcc10Volume = 433;
    std::uint32_t CoinAcc25Volume = 1029;
    std::uint32_t CoinAcc50Volume = 2015;
    std::uint32_t CoinAcc100Volume = 1404;
    std::uint32_t CoinAcc02Volume = 0;  // not stored, see above
    std::uint32_t CoinAcc20Volume = 925;
    std::uint32_t CoinAcc200Volume = 1600;
    bool FireCoinAccBillsOnly = true;
    std::uint32_t CoinAccBillsWithoutCoinCount = 40;
    bool FireCoinAccBillsCardsOnly = true;
    std::uint32_t CoinAccBillsCardWithoutCoinCount = 40;
    // Coin dispenser alerts.
    bool FireCoinDispLow = true;
    bool FireCoinDispRefilled = false;
    bool FireCoinDispCassetteRemoved = true;
    bool FireCoinDispCassetteReplaced = false;
    bool FireCoinDispOffline = true;
    bool FireCoinDispOnline = false;
    // Bill acceptor alerts.
    bool FireBillAccRejectRateHigh = true;
    std::uint32_t BillAccRejectRateRejectCount = 10;
    std::uint32_t BillAccRejectRateCompareCount = 20;
    bool FireBillAccRepeatedReject = true;
    std::uint32_t BillAccRejectRepeatedRejectCount = 10;
    bool FireBillAccFull = true;
    bool FireBillAccEmptied = false;
    bool FireBillAccCassetteRemoved = true;
    bool FireBillAccCassetteReplaced = false;
    bool FireBillAccCheatMode = true;
    bool FireBillAccNotResponding = false;
    bool FireBillAccJammed = true;
    bool FireBillAccUnjammed = false;
    bool FireBillAccCalibrationMode = true;
    bool FireBillAccReset = true;
    bool FireBillAccResetWithEscrow = true;
    bool FireBillAccNonrecoverable = true;
    bool FireBillAccOffline = true;
    bool FireBillAccOnline = false;
    // Bill dispenser alerts.
    bool FireBillDispLow = true;
    bool FireBillDispRefilled = false;
    bool FireBillDispCassetteRemoved = true;
    bool FireBillDispCassetteReplaced = false;
    bool FireBillDispJammed = true;
    bool FireBillDispNotResponding = true;
    bool FireBillDispOffline = true;
    bool FireBillDispOnline = false;
    bool FireBillDispBillsRejected = true;
    bool FireBillDispInvalidCassettes = true;
    bool FireBillDispCassetteLowDispense = true;
    bool FireBillDispReset = true;
    bool FireBillDispFeedFailure = true;
    bool FireBillDispSensorBlock = true;
    bool FireBillDispVoltageRange = true;
    bool FireBillDispFeedModule = true;
    bool FireBillDispCommandReject = true;  // not stored, see above

    bool operator==(const MonitorSettings&) const = default;
};

// The stored settings whose values differ, in stored order, each as "Name=value" with the text
// form staff see (numbers in decimal, booleans true or false, texts in double quotes).
std::vector<std::string> ChangedSettings(const MonitorSettings& before,
                                         const MonitorSettings& after);
// Reads every stored setting that is present and valid; the others keep their current values.
void LoadSettings(const platform::Registry& registry, MonitorSettings& settings);
// Writes every stored setting, in stored order, in one crash-safe write; returns the
// registry's result.
[[nodiscard]] std::uint32_t SaveSettings(platform::Registry& registry,
                                         const MonitorSettings& settings);

}  // namespace lane::monitor
