// lanesim's coin dispenser behind the module's cash port: answers the 'A' requests (status,
// firmware version, configuration, model, configuration block, bin status, INI version) from its
// setup, and takes the writes of configuration code, EEPROM bytes and dispense speed into its
// 252-byte configuration block, noting each in the record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lane::sim {

inline constexpr std::size_t kCoinDispenserBlockSize = 252;
// Bytes of the block one block reply carries, and the number of block replies.
inline constexpr std::size_t kCoinDispenserBlockChunk = 48;
inline constexpr std::size_t kCoinDispenserBlockReplies = 5;

// What the scenario says about the dispenser (see docs/lanesim.md, "coin-dispenser").
struct CoinDispenserSetup {
    bool present = true;             // false: it never answers
    std::uint8_t model = '0';        // '0' T-Flex, '1' CoinXpress/Hopper, '2' CX25
    std::string productId = "T0FX";  // four characters; the second is the model byte
    std::string firmware = "TF1.23";
    std::uint8_t configCode = 'B';
    std::string configText = "USD";
    std::string iniVersion = "US006";  // five characters
    std::uint8_t status = 0;           // status bits
    std::uint8_t bins[2] = {0, 0};     // bin status bytes
    bool refuseWrites = false;         // EEPROM and speed writes answer '1' (failed)
    std::array<std::uint8_t, kCoinDispenserBlockSize> block = DefaultBlock();

    // Delay 150 ms, dispense below 20, even depletion on, serial number "TQ0012345".
    static std::array<std::uint8_t, kCoinDispenserBlockSize> DefaultBlock();
};

class CoinDispenser {
  public:
    explicit CoinDispenser(const CoinDispenserSetup& setup = {}) : state_(setup) {}

    // Answers a cash-port request (its data: 'A', the code, arguments). False when it is not a
    // coin dispenser request; otherwise `replies` gets the data of each reply after its sequence
    // byte ("a", the code, the reply's data) and `notes` what the record should say.
    bool Answer(const std::vector<std::uint8_t>& request, std::vector<std::string>& replies,
                std::vector<std::string>& notes);

    const CoinDispenserSetup& State() const { return state_; }

  private:
    CoinDispenserSetup state_;
};

}  // namespace lane::sim
