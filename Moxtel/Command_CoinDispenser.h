// Command_CoinDispenser: the coin dispenser behind the cash port. Its request/reply exchanges
// (status, bin status, firmware version, model, INI version, cassette or bin configuration, the
// configuration block, and the writes of configuration code, EEPROM byte and dispense speed),
// the items of its service menu, and the unattended SetCoinSpeed and ReportCoinDispenserStatus.
#pragma once

#include <cstdint>
#include <string>

#include "Moxtel/CoinDispenserReplies.h"
#include "Moxtel/UtilityRun.h"
#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

// Every coin dispenser exchange waits this long for its reply (in steps of 100 ms).
inline constexpr int kCoinDispenserWaitCount = 250;
// Pauses: after the configuration requests, after an EEPROM or speed update, before the re-check.
inline constexpr std::int64_t kCoinConfigurationWaitMs = 9000;
inline constexpr std::int64_t kCoinUpdateWaitMs = 5000;
inline constexpr std::int64_t kCoinRecheckWaitMs = 1000;
// The dispense delay the menu accepts: 100 ms up to 255 (T-Flex) or 225 (the other models).
inline constexpr unsigned kCoinDelayLowest = 100;
inline constexpr unsigned kCoinDelayHighestTFlex = 255;
inline constexpr unsigned kCoinDelayHighestHopper = 225;
// Module versions that offer the menu's speed item, and its BC mode item and bin status.
inline constexpr unsigned kCoinSpeedItemFrom = 448;
inline constexpr unsigned kCoinBinStatusFrom = 452;
// ReportCoinDispenserStatus needs at least this module version.
inline constexpr unsigned kCoinReportFrom = 439;
inline constexpr const char* kCoinStatusFile = "c:\\FirmwareUpdate\\UtilityCD.txt";

// Results of the exchanges (0 success).
enum CoinDispenserResult : int {
    kCoinOk = 0,
    kCoinWriteFailed = 11,     // the request could not be written
    kCoinNoReply = 40,         // the read returned nothing
    kCoinTooManyPackets = 42,  // the hundredth reply without a match
    kCoinUpdateRefused = 44,   // the dispenser answered that the write failed
};

// What the utility has learned about the dispenser in this run.
struct CoinDispenserInfo {
    std::uint8_t modelByte = 0;
    CoinDispenserModel model = CoinDispenserModel::TFlex;
    std::string productId;  // four characters
    std::string firmwareVersion;
    std::uint8_t configCode = 0;
    std::string configText;
    std::string iniVersion;  // five characters (CX25)
    std::uint8_t statusBits = 0;
    bool unavailable = false;  // offline, or the status exchange failed
    std::uint8_t binBytes[2] = {0, 0};
    CoinDispenserBlock block{};
};

class CCoinDispenser {
  public:
    // `commands` reads the cash port's replies (and acknowledges them).
    CCoinDispenser(UtilityRun& run, SecurityModuleCommands& commands)
        : run_(run), commands_(commands) {}

    [[nodiscard]] int RequestStatus();
    [[nodiscard]] int RequestBinStatus();
    [[nodiscard]] int RequestFirmwareVersion();
    // Logs the product identifier and shows "Dispenser Model : " with the model's name.
    [[nodiscard]] int RequestModel();
    [[nodiscard]] int RequestIniVersion();
    [[nodiscard]] int RequestConfiguration();
    // Clears the block image and fills it from five replies.
    [[nodiscard]] int ReadConfigurationBlock();
    [[nodiscard]] int SetConfiguration(std::uint8_t code);
    // kCoinUpdateRefused when the dispenser says the write failed.
    [[nodiscard]] int WriteEeprom(std::uint8_t offset, std::uint8_t value);
    [[nodiscard]] int SetDispenseSpeed(std::uint8_t delayMs);

    CoinDispenserInfo& Info() { return info_; }
    UtilityRun& Run() { return run_; }
    SecurityModuleCommands& Commands() { return commands_; }

  private:
    // Which failure texts an exchange uses.
    enum class Texts { Status, BinStatus, Update };

    int Exchange(std::uint8_t code, const std::uint8_t* arguments, std::size_t argumentCount,
                 Texts texts, link::LinkPacket& reply);
    int AwaitReply(std::uint8_t code, Texts texts, link::LinkPacket& reply);
    void Show(const char* text);

    UtilityRun& run_;
    SecurityModuleCommands& commands_;
    CoinDispenserInfo info_;
};

// The items of the coin dispenser menu, on a dispenser whose port 5 is open and synchronised and
// whose model and configuration block were read.
void CoinDispenserStatusItem(CCoinDispenser& dispenser);
void CoinDispenserConfigurationItem(CCoinDispenser& dispenser);
// Even depletion (position 12 bit 0), low coin signal (89 bit 2), backwards compatibility (89
// bit 5): the byte with the bit changed is written back to the dispenser's EEPROM.
enum class CoinDispenserOption { EvenDepletion, LowCoinSignal, BackwardsCompatibility };
void CoinDispenserOptionItem(CCoinDispenser& dispenser, CoinDispenserOption option);
void CoinDispenserSpeedItem(CCoinDispenser& dispenser);
// The whole menu (opens and synchronises port 5, reads the configuration, loops until X).
void CoinDispenserMenu(UtilityRun& run);

// The unattended commands (their results do not change the exit code).
[[nodiscard]] int Command_SetCoinSpeed(UtilityRun& run);
[[nodiscard]] int Command_ReportCoinDispenserStatus(UtilityRun& run);

}  // namespace lane::moxtel
