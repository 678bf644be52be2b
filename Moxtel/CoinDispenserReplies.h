// What the coin dispenser's replies say: its status bits, model, configuration codes and the
// 252-byte configuration block image, read from reply packets as they come off the cash port.
// Nothing here talks to the module; every reader stays inside the packet and the image.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/TMCB_Support.h"

namespace lane::moxtel {

// The dispenser's configuration block, as the utility keeps a copy of it.
inline constexpr std::size_t kCoinBlockSize = 252;
using CoinDispenserBlock = std::array<std::uint8_t, kCoinBlockSize>;
// Bytes of the block one reply carries (wire bytes 7 to 54), after its offset (wire byte 6).
inline constexpr std::size_t kCoinBlockReplyBytes = 48;

// Positions of the block.
inline constexpr std::size_t kCoinDelayPosition = 8;
inline constexpr std::size_t kDispenseBelowPosition = 10;  // and 11, high byte first
inline constexpr std::size_t kEvenDepletionPosition = 12;  // bit 0
inline constexpr std::size_t kCoinOptionsPosition = 89;    // bit 2 low coin signal, bit 5 BC mode
inline constexpr std::size_t kSerialNumberFirst = 221;
inline constexpr std::size_t kSerialNumberLast = 239;
inline constexpr std::uint8_t kEvenDepletionBit = 0x01;
inline constexpr std::uint8_t kLowCoinSignalBit = 0x04;
inline constexpr std::uint8_t kBackwardsCompatibleBit = 0x20;

// The dispenser models: 1 T-Flex, 2 CoinXpress/Hopper (with the CX25's backwards-compatibility
// support or without).
enum class CoinDispenserModel { TFlex, Hopper, Cx25 };

// Wire byte n of a cash-port reply (3 the sequence byte, 4 the letter, 5 the code, 6 on the
// data); 0 past the packet's data.
std::uint8_t CashReplyByte(const link::LinkPacket& reply, std::size_t n);
// Wire bytes from `first` up to the end of the packet's data or the first zero byte.
std::string CashReplyText(const link::LinkPacket& reply, std::size_t first);

// "Okay", or each set bit's text of bits 0 to 4 ("Comm Error, " ... "Low Coins, ") in order.
std::string CoinStatusText(std::uint8_t statusBits);
inline constexpr std::uint8_t kCoinStatusOffline = 0x04;

// The model byte of the model reply ('0' T-Flex, '1' CoinXpress/Hopper, '2' CX25/Hopper) with
// its name; any other byte is "Invalid" and counts as a T-Flex.
CoinDispenserModel CoinModelFromByte(std::uint8_t modelByte);
const char* CoinModelName(std::uint8_t modelByte);

// The configuration line as shown after a configuration reply: "Cassette Config : USA = text",
// "CX25 Bin Config : USA06 - USA = text" or "CX Bin Config   : UK = text".
std::string CoinConfigurationLine(CoinDispenserModel model, std::uint8_t code,
                                  const std::string& text);

// The configuration code the menu key writes for the model, and its line in the list; false
// when the key has no code for that model.
bool CoinConfigurationForKey(CoinDispenserModel model, char key, std::uint8_t& code,
                             const char*& listLine);

// Copies the block bytes a configuration block reply carries into `block` at the reply's offset
// (wire byte 6). Only the bytes the packet holds are taken, and only those that fall inside the
// image: a reply whose offset and 48 bytes would reach past byte 251 has the excess dropped.
// Gives the number of bytes copied.
std::size_t CopyCoinBlockReply(CoinDispenserBlock& block, const link::LinkPacket& reply);

// The serial number: the characters of positions 221 to 239 from the blank to 'z'.
std::string CoinSerialNumber(const CoinDispenserBlock& block);
// The "dispense below" amount, positions 10 and 11, high byte first.
unsigned CoinDispenseBelow(const CoinDispenserBlock& block);

}  // namespace lane::moxtel
