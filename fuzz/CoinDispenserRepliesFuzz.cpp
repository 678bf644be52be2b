// Fuzz target of the readers of the cash devices' replies behind the setting commands: the input
// is cut into received packets (length byte, then port, command and data), and each goes through
// the coin dispenser's block copy, texts and configuration line, the Fujitsu data block and the
// cash counting dump, with the Fujitsu screens' texts of the block's registers, cassettes,
// currency, counters and thickness graph. Nothing is read past a packet or written past the
// 252-byte block image or the 512-byte data block.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Moxtel/CoinDispenserReplies.h"
#include "Moxtel/Command_CashCounting.h"
#include "Moxtel/FujitsuDataBlock.h"
#include "Moxtel/FujitsuTexts.h"
#include "fuzz/FuzzPackets.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lane;
    using namespace lane::moxtel;
    moxtel::CoinDispenserBlock block{};
    FujitsuDataBlock fujitsu;
    std::size_t at = 0;
    while (at < size) {
        const link::LinkPacket packet = lane::fuzz::NextClaimedPacket(data, size, at);

        const std::size_t offset = CashReplyByte(packet, 6);
        const std::size_t copied = CopyCoinBlockReply(block, packet);
        Check(copied <= kCoinBlockReplyBytes);
        Check(copied == 0 || offset + copied <= kCoinBlockSize);
        Check(CashReplyText(packet, 6).size() <= packet.data.size());
        const std::string line =
            CoinConfigurationLine(CoinModelFromByte(CashReplyByte(packet, 7)),
                                  CashReplyByte(packet, 6), CashReplyText(packet, 8));
        Check(line.find(" = ") != std::string::npos);
        Check(!CoinStatusText(CashReplyByte(packet, 6)).empty());
        Check(CoinSerialNumber(block).size() <= kSerialNumberLast - kSerialNumberFirst + 1);

        const std::size_t before = fujitsu.length;
        static_cast<void>(TakeFujitsuReply(fujitsu, packet));
        Check(fujitsu.length >= before && fujitsu.length <= kFujitsuBlockSize);
        Check(FujitsuFirmwareText(fujitsu).size() == 17);
        const auto& b = fujitsu.bytes;
        const FujitsuRegister registers[] = {FujitsuRegister::Error1,  FujitsuRegister::Error2,
                                             FujitsuRegister::Error3,  FujitsuRegister::Sensor1,
                                             FujitsuRegister::Sensor2, FujitsuRegister::Sensor3,
                                             FujitsuRegister::Status};
        for (std::size_t r = 0; r < 7; ++r) {
            Check(!FujitsuRegisterText(registers[r], b[12 + (r == 6 ? 8 : r)]).empty());
        }
        for (std::size_t c = 21; c <= 23; ++c) {
            const char letter = FujitsuCassetteLetter(b[c]);
            Check(letter == 0 || (letter >= 'A' && letter <= 'I'));
            Check(!FujitsuCassetteText(b[c]).empty());
        }
        Check(FujitsuCurrencyName(static_cast<char>(b[6]), static_cast<char>(b[7])) != nullptr);
        const std::string graph = FujitsuThicknessGraphLine(b[25]);
        Check(graph.size() == kFujitsuGraphWidth &&
              std::count(graph.begin(), graph.end(), '*') == 1);
        for (std::size_t cassette = 0; cassette < 3; ++cassette) {
            const std::size_t base = 80 + cassette * 32;
            Check(FujitsuCounter(fujitsu, base, 4) ==
                  (FujitsuCounter(fujitsu, base, 2) << 16 | FujitsuCounter(fujitsu, base + 2, 2)));
        }
        Check(FujitsuCounter(fujitsu, kFujitsuBlockSize - 1, 4) ==
              static_cast<std::uint32_t>(b[kFujitsuBlockSize - 1]) << 24);
        Check(DumpValues(packet, 9).size() <= 9 * 6);
    }
    return 0;
}
