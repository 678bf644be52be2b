// The unattended coin dispenser commands: SetCoinSpeed writes the run option's dispense delay,
// ReportCoinDispenserStatus writes what the dispenser says into "c:\FirmwareUpdate\UtilityCD.txt".
#include <string>

#include "Moxtel/Command_CoinDispenser.h"
#include "Moxtel/DateTimeTexts.h"
#include "platform/File.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_CoinDispenser";

void Show(UtilityRun& run, const std::string& text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", text.c_str());
}

// Opens and synchronises port 5; 0, or non-zero after showing why (port 5 is closed again when
// the sync failed).
int OpenCashPort(UtilityRun& run, SecurityModuleCommands& commands) {
    Show(run, "Opening Port 5 Cash Devices");
    if (commands.OpenPort5() != 0) {
        Show(run, "ERROR 1B: Can Not Open Port 5.");
        return 1;
    }
    if (commands.SyncCashMachine() != 0) {
        Show(run, "ERROR 1C: Can Not Sync With Port 5.");
        static_cast<void>(commands.ClosePort5());
        return 2;
    }
    return 0;
}

const char* EnabledText(bool enabled) {
    return enabled ? "Enabled" : "Disabled";
}

// The report's lines about a dispenser that answers.
std::string DispenserLines(CCoinDispenser& dispenser) {
    const CoinDispenserInfo& info = dispenser.Info();
    const CoinDispenserBlock& block = info.block;
    std::string lines = "Dispenser Model : ";
    lines += info.model == CoinDispenserModel::TFlex ? "T-Flex\n" : "CoinXpress/Hopper\n";
    if (dispenser.RequestFirmwareVersion() == kCoinOk) {
        lines += "Firmware Version: " + info.firmwareVersion + "\n";
    }
    if (dispenser.RequestConfiguration() == kCoinOk) {
        lines += CoinConfigurationLine(info.model, info.configCode, info.configText) + "\n";
    }
    lines += "Coin Delay      : " + std::to_string(block[kCoinDelayPosition]) + "-ms\n";
    lines += std::string("Even Depletion  : ") +
             EnabledText(block[kEvenDepletionPosition] & kEvenDepletionBit) + "\n";
    lines += std::string("Low Coin Signal : ") +
             EnabledText(block[kCoinOptionsPosition] & kLowCoinSignalBit) + "\n";
    if (info.model == CoinDispenserModel::Cx25) {
        lines += std::string("BC Mode         : ") +
                 EnabledText(block[kCoinOptionsPosition] & kBackwardsCompatibleBit) + "\n";
    }
    lines += "Dispense below  : " + std::to_string(CoinDispenseBelow(block)) + "\n";
    lines += "Serial Number   : " + CoinSerialNumber(block) + "\n";
    return lines;
}

}  // namespace

int Command_SetCoinSpeed(UtilityRun& run) {
    const std::uint8_t speed = run.options.coinSpeed;
    Show(run, "Auto Update of Coin Dispense Speed, Value = " + std::to_string(speed));
    SecurityModuleCommands commands(run);
    const int opened = OpenCashPort(run, commands);
    if (opened != 0) {
        return opened;
    }
    CCoinDispenser dispenser(run, commands);
    const int result = dispenser.SetDispenseSpeed(speed);
    if (result == kCoinUpdateRefused) {
        Show(run, "ERROR 44: Update to EEPROM Failed!");
    } else if (result == kCoinOk) {
        run.clock.SleepMs(kCoinUpdateWaitMs);
        Show(run, "Update Complete!\n\n");
    }
    // The port is not left open on a failure either: the next command opens it afresh.
    static_cast<void>(commands.ClosePort5());
    return result;
}

int Command_ReportCoinDispenserStatus(UtilityRun& run) {
    if (run.identity.version < kCoinReportFrom) {
        Show(run, "Invalid Security Module Version, Must be 4.39 or later.");
        return 1;
    }
    SecurityModuleCommands commands(run);
    const int opened = OpenCashPort(run, commands);
    if (opened != 0) {
        return opened;
    }
    CCoinDispenser dispenser(run, commands);
    const bool modelRead = dispenser.RequestModel() == kCoinOk;
    if (modelRead && dispenser.Info().model == CoinDispenserModel::Cx25) {
        static_cast<void>(dispenser.RequestIniVersion());
    }
    if (modelRead) {
        static_cast<void>(dispenser.ReadConfigurationBlock());
    }
    run.clock.SleepMs(kCoinConfigurationWaitMs);
    const bool answers =
        modelRead && dispenser.RequestStatus() == kCoinOk && !dispenser.Info().unavailable;

    std::string report =
        "Run Date/Time   : " + LocalDateText(run.clock) + "  -  " + LocalTimeText(run.clock) + "\n";
    report += "SM Version      : " + run.identity.versionText + "\n";
    report += answers ? DispenserLines(dispenser) : "Coin Dispenser Offline\n";
    report += "END\n";
    static_cast<void>(commands.ClosePort5());

    const std::string path = run.paths.Map(kCoinStatusFile);
    const std::uint32_t written = platform::WriteWholeFile(path, report);
    if (written != 0) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "Error %u writing %s",
                           static_cast<unsigned>(written), kCoinStatusFile);
        return 3;
    }
    return 0;
}

}  // namespace lane::moxtel
