// The coin dispenser menu and its items: the status screen with its re-check, the cassette or
// bin configuration, the three EEPROM options and the dispense speed.
#include <cctype>
#include <string>

#include "Moxtel/Command_CoinDispenser.h"
#include "Moxtel/OperatorInput.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_CoinDispenser";

void Show(UtilityRun& run, const std::string& text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", text.c_str());
}

void Prompt(UtilityRun& run, const std::string& text) {
    run.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__, "%s", text.c_str());
}

void KeyWait(UtilityRun& run) {
    Prompt(run, "\n\nPress Any key to continue");
    static_cast<void>(run.console.GetKey());
}

const char* EnabledText(bool enabled) {
    return enabled ? "Enabled" : "Disabled";
}

bool Cx25(const CoinDispenserInfo& info) {
    return info.model == CoinDispenserModel::Cx25;
}

bool ModelTwo(const CoinDispenserInfo& info) {
    return info.model != CoinDispenserModel::TFlex;
}

// Requests the status and shows its line; false when the exchange failed.
bool StatusLine(CCoinDispenser& dispenser) {
    if (dispenser.RequestStatus() != kCoinOk) {
        return false;
    }
    UtilityRun& run = dispenser.Run();
    Prompt(run, "Current Status  :");
    Show(run, CoinStatusText(dispenser.Info().statusBits));
    return true;
}

// "Low Bin Status  : " with "None Low" or each low bin's number.
void BinStatusLine(UtilityRun& run, const CoinDispenserInfo& info) {
    std::string bins;
    for (int bin = 1; bin <= 8; ++bin) {
        const std::uint8_t byte = info.binBytes[bin <= 4 ? 0 : 1];
        const int bit = 3 - (bin - 1) % 4;
        if ((byte >> bit) & 1U) {
            bins += std::to_string(bin) + ", ";
        }
    }
    Prompt(run, "Low Bin Status  : ");
    Show(run, info.binBytes[0] == 0 && info.binBytes[1] == 0 ? "None Low" : bins);
}

// The lines of the status screen after the model, firmware and configuration were read.
void StatusDetails(CCoinDispenser& dispenser) {
    UtilityRun& run = dispenser.Run();
    const CoinDispenserInfo& info = dispenser.Info();
    const CoinDispenserBlock& block = info.block;
    if (Cx25(info)) {
        Show(run, "INI Version     : " + info.iniVersion);
    }
    Show(run, "Coin Delay      : " + std::to_string(block[kCoinDelayPosition]) + "-ms");
    Show(run, std::string("Even Depletion  : ") +
                  EnabledText(block[kEvenDepletionPosition] & kEvenDepletionBit));
    Show(run, std::string("Low Coin Signal : ") +
                  EnabledText(block[kCoinOptionsPosition] & kLowCoinSignalBit));
    if (Cx25(info)) {
        Show(run, std::string("BC Mode         : ") +
                      EnabledText(block[kCoinOptionsPosition] & kBackwardsCompatibleBit));
    }
    if (ModelTwo(info) && run.identity.version >= kCoinBinStatusFrom) {
        if (dispenser.RequestBinStatus() == kCoinOk) {
            BinStatusLine(run, info);
        }
    }
    Show(run, "Dispense below  : " + std::to_string(CoinDispenseBelow(block)));
    Prompt(run, "Serial Number   : ");
    Show(run, CoinSerialNumber(block));
}

struct OptionText {
    const char* title;
    const char* prompt;
    std::size_t position;
    std::uint8_t bit;
    const char* refused;
    const char* complete;
};

OptionText TextOf(CoinDispenserOption option) {
    switch (option) {
        case CoinDispenserOption::EvenDepletion:
            return {"**** Set Even Depletion Mode ****\n\n",
                    "Even Depletion is ",
                    kEvenDepletionPosition,
                    kEvenDepletionBit,
                    "ERROR 44: Update to EEPROM Failed!",
                    "Update Complete!\n\n"};
        case CoinDispenserOption::LowCoinSignal:
            return {"**** Set Low Coin Alarm ****\n\n",
                    "Low Coin Alarm is ",
                    kCoinOptionsPosition,
                    kLowCoinSignalBit,
                    "ERROR 44: Update to EEPROM Failed.",
                    "Update Complete!\n\n"};
        case CoinDispenserOption::BackwardsCompatibility:
            break;
    }
    return {"**** Set CX25 Backwards Compatibility Mode ****\n\n",
            "BC Mode is ",
            kCoinOptionsPosition,
            kBackwardsCompatibleBit,
            "ERROR 44: Update to EEPROM Failed.",
            "\nUpdate Complete!\n\n"};
}

}  // namespace

void CoinDispenserStatusItem(CCoinDispenser& dispenser) {
    UtilityRun& run = dispenser.Run();
    Show(run, "\n\n\nCoin Dispenser Status\n\n");
    static_cast<void>(StatusLine(dispenser));
    if (dispenser.Info().unavailable) {
        Show(run, "\nRe-Checking\n");
        run.clock.SleepMs(kCoinRecheckWaitMs);
        static_cast<void>(StatusLine(dispenser));
    }
    if (!dispenser.Info().unavailable && dispenser.RequestModel() == kCoinOk &&
        dispenser.RequestFirmwareVersion() == kCoinOk &&
        dispenser.RequestConfiguration() == kCoinOk) {
        const CoinDispenserInfo& info = dispenser.Info();
        Show(run, "Firmware Version: " + info.firmwareVersion);
        Show(run, CoinConfigurationLine(info.model, info.configCode, info.configText));
        StatusDetails(dispenser);
    }
    KeyWait(run);
}

void CoinDispenserConfigurationItem(CCoinDispenser& dispenser) {
    UtilityRun& run = dispenser.Run();
    CoinDispenserInfo& info = dispenser.Info();
    dispenser.Commands().ClearScreen();
    const char* title = "**** Set Cassette/Bin Configuration ****\n";
    const char* listTitle = "\n\nConfigurations Codes\n";
    if (info.model == CoinDispenserModel::Cx25) {
        title = "**** Set CX25 bin Configuration ****\n";
        listTitle = "\n\nCX25 Configurations Codes\n";
    } else if (info.model == CoinDispenserModel::Hopper) {
        title = "**** Set CX bin Configuration ****\n";
        listTitle = "\n\nCX25 Configurations Codes\n";
    }
    Show(run, title);
    if (dispenser.RequestConfiguration() == kCoinOk) {
        Show(run, CoinConfigurationLine(info.model, info.configCode, info.configText));
    }
    Show(run, listTitle);
    for (char key = '1'; key <= '8'; ++key) {
        std::uint8_t code = 0;
        const char* line = nullptr;
        if (CoinConfigurationForKey(info.model, key, code, line)) {
            Show(run, line);
        }
    }
    Show(run, "X - Exit");
    Prompt(run, "\nEnter Code :");
    const char key = ReadMenuKey(run);
    std::uint8_t code = 0;
    const char* line = nullptr;
    if (CoinConfigurationForKey(info.model, key, code, line)) {
        if (dispenser.SetConfiguration(code) == kCoinOk) {
            Show(run, "\nConfig Updated.");
        }
    } else if (key != 'X') {
        Show(run, "Invalid Code!");
    }
    KeyWait(run);
}

void CoinDispenserOptionItem(CCoinDispenser& dispenser, CoinDispenserOption option) {
    UtilityRun& run = dispenser.Run();
    CoinDispenserBlock& block = dispenser.Info().block;
    const OptionText text = TextOf(option);
    dispenser.Commands().ClearScreen();
    Show(run, text.title);
    Prompt(run, text.prompt);
    Prompt(run, (block[text.position] & text.bit) != 0 ? "Enabled\n" : "Disabled\n");
    Prompt(run, "Enter E to Enable or D to Disable :");
    const char key = ReadMenuKey(run);
    std::uint8_t value = block[text.position];
    if (key == 'D') {
        value = static_cast<std::uint8_t>(value & ~text.bit);
    } else if (key == 'E') {
        value = static_cast<std::uint8_t>(value | text.bit);
    } else {
        return;
    }
    const std::uint8_t before = block[text.position];
    block[text.position] = value;
    const int result = dispenser.WriteEeprom(static_cast<std::uint8_t>(text.position), value);
    if (result != kCoinOk) {
        // The dispenser kept its byte: so does the copy, so the screens show what is in force.
        block[text.position] = before;
    }
    if (result == kCoinUpdateRefused) {
        Show(run, text.refused);
    } else if (result != kCoinOk) {
        return;  // the failure is shown; the item ends at once
    } else {
        run.clock.SleepMs(kCoinUpdateWaitMs);
        Show(run, text.complete);
    }
    KeyWait(run);
}

void CoinDispenserSpeedItem(CCoinDispenser& dispenser) {
    UtilityRun& run = dispenser.Run();
    CoinDispenserInfo& info = dispenser.Info();
    dispenser.Commands().ClearScreen();
    Show(run, "**** Set Coin Dispense Speed ****\n\n");
    Show(run, "Current Delay : " + std::to_string(info.block[kCoinDelayPosition]) + "-ms");
    if (dispenser.RequestModel() != kCoinOk) {
        return;
    }
    const unsigned highest =
        info.model == CoinDispenserModel::TFlex ? kCoinDelayHighestTFlex : kCoinDelayHighestHopper;
    Prompt(run, "Enter Coin Dispense Delay, Range 100 to " + std::to_string(highest) + " :");
    const std::string answer = ReadOperatorLine(run.console, kOperatorLineChars);
    // The number's low 8 bits are the delay: 300 is taken as 44.
    const auto delay = static_cast<std::uint8_t>(DecimalPrefix(answer));
    if (delay < kCoinDelayLowest || delay > highest) {
        Show(run, "Invalid Range.");
        return;
    }
    const int result = dispenser.SetDispenseSpeed(delay);
    if (result == kCoinUpdateRefused) {
        Show(run, "ERROR 44: Update to EEPROM Failed!");
    } else if (result == kCoinOk) {
        run.clock.SleepMs(kCoinUpdateWaitMs);
        info.block[kCoinDelayPosition] = delay;
        Show(run, "Update Complete!\n\n");
    }
    KeyWait(run);
}

void CoinDispenserMenu(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    Show(run, "Opening Port 5 Cash Devices");
    if (commands.OpenPort5() != 0) {
        Show(run, "ERROR 1B: Can Not Open Port 5.");
        return;
    }
    if (commands.SyncCashMachine() != 0) {
        Show(run, "ERROR 1C: Can Not Sync With Port 5.");
        static_cast<void>(commands.ClosePort5());
        return;
    }
    CCoinDispenser dispenser(run, commands);
    run.console.Write("Requesting coin dispenser configurations, Please Wait!\n");
    if (dispenser.RequestModel() == kCoinOk && Cx25(dispenser.Info()) &&
        dispenser.RequestIniVersion() == kCoinOk) {
        Show(run, "Dispenser INI Version :" + dispenser.Info().iniVersion);
    }
    static_cast<void>(dispenser.ReadConfigurationBlock());
    run.clock.SleepMs(kCoinConfigurationWaitMs);
    Show(run, "**** Coin Dispenser Menu ****\n\n");
    for (;;) {
        const bool speedShown = run.identity.version >= kCoinSpeedItemFrom;
        const bool bcShown = run.identity.version >= kCoinBinStatusFrom && Cx25(dispenser.Info());
        commands.ClearScreen();
        Show(run, "**** Coin Dispenser Menu ****\n");
        Show(run, "1 - Coin Dispenser Status");
        Show(run, "2 - Set Cassette/Bin Configuration");
        Show(run, "3 - Enable/Disable Even Depletion");
        Show(run, "4 - Enable/Disable Low Coin Signal");
        if (speedShown) {
            Show(run, "5 - Set Coin Dispense Speed");
        }
        if (bcShown) {
            Show(run, "6 - Set Backwards Compatibility Mode");
        }
        Show(run, "X - Exit");
        Prompt(run, "\nEnter Function :");
        const char key = ReadMenuKey(run);
        if (key == 'X') {
            static_cast<void>(commands.ClosePort5());
            return;
        }
        if (key == '1') {
            CoinDispenserStatusItem(dispenser);
        } else if (key == '2') {
            CoinDispenserConfigurationItem(dispenser);
        } else if (key == '3') {
            CoinDispenserOptionItem(dispenser, CoinDispenserOption::EvenDepletion);
        } else if (key == '4') {
            CoinDispenserOptionItem(dispenser, CoinDispenserOption::LowCoinSignal);
        } else if (key == '5' && speedShown) {
            CoinDispenserSpeedItem(dispenser);
        } else if (key == '6' && bcShown) {
            CoinDispenserOptionItem(dispenser, CoinDispenserOption::BackwardsCompatibility);
        }
    }
}

}  // namespace lane::moxtel
