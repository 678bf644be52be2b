// Drives both acceptor decoders' FormatTrace, ProcessMessage and OnTimer with arbitrary messages.
// The first byte picks settings (zero divisors, switches off, a tiny coin bin); then each message
// is a selector byte (code, garbage past the length, a tick first), the sub-code, a length byte
// and the bytes. Each message goes to a pair of bill acceptor decoders: one sees it with garbage
// past `length` (and a length out of range), the other the clean message; their texts must agree.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/FakeClock.h"
#include "fuzz/DecoderFuzzHost.h"
#include "monitor/decoders/BillAcceptorMonitor.h"
#include "monitor/decoders/CoinAcceptorMonitor.h"

namespace {

using namespace lane;
using namespace lane::monitor;
using namespace lane::monitor::fuzz;

void ApplySettings(std::uint8_t choice, MonitorSettings& settings) {
    if ((choice & 0x01) != 0) {
        settings.BillAccRejectRateCompareCount = 0;
    }
    if ((choice & 0x02) != 0) {
        settings.BillAccRejectRepeatedRejectCount = 0;
        settings.CoinAccBillsWithoutCoinCount = 0;
    }
    if ((choice & 0x04) != 0) {
        settings.CoinAccBinVolume = 0;
        settings.CoinAcc02Volume = 0xFFFFFFFF;
    }
    settings.FireCoinAccFull = (choice & 0x08) == 0;
    settings.switches.MonitorCoinAcceptor = (choice & 0x10) == 0;
    settings.BillAccRejectRateRejectCount = (choice & 0x20) != 0 ? 0xFFFFFFFF : 10;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    FakeClock clock;
    FuzzHost host;
    ApplySettings(data[0], host.settings);
    const CurrencyProfile currency{(data[0] & 0x40) != 0 ? "CAD" : "USD", 0x0409, "$", ".", ","};
    CBillAcceptorMonitor bill(clock, kNoAlertLibrary, currency);
    CBillAcceptorMonitor cleanBill(clock, kNoAlertLibrary, currency);
    CCoinAcceptorMonitor coin(clock, kNoAlertLibrary, currency);
    bill.Start(host);
    cleanBill.Start(host);
    coin.Start(host);
    std::size_t offset = 1;
    while (offset + 3 <= size) {
        const std::uint8_t selector = data[offset];
        MonitorMessage clean;
        clean.code = (selector & 0x01) != 0 ? 0xA8 : 0xA9;
        clean.subCode = data[offset + 1];
        const std::size_t wanted = data[offset + 2] & 0x7F;
        offset += 3;
        const std::size_t count = wanted < size - offset ? wanted : size - offset;
        for (std::size_t i = 0; i < count; ++i) {
            clean.data[i] = data[offset + i];
        }
        clean.length = static_cast<std::int32_t>(count);
        offset += count;

        MonitorMessage dirty = clean;
        if ((selector & 0x02) != 0) {
            for (std::size_t i = count; i < dirty.data.size(); ++i) {
                dirty.data[i] = static_cast<std::uint8_t>(0xFF - i);
            }
        }
        if ((selector & 0x04) != 0 && count == 0) {
            dirty.length = (selector & 0x08) != 0 ? -7 : 0;
        }
        if ((selector & 0x10) != 0) {
            bill.OnTimer();
            cleanBill.OnTimer();
            coin.OnTimer();
        }
        const std::string text = bill.FormatTrace(dirty);
        Check(text == cleanBill.FormatTrace(clean));
        (void)coin.FormatTrace(dirty);
        bill.ProcessMessage(dirty);
        cleanBill.ProcessMessage(clean);
        coin.ProcessMessage(dirty);
        CDeviceStatistics& statistics = host.Statistics();
        statistics.Lock();
        Check(statistics.BillAccRejectRate <= 100);
        Check(statistics.BillAccLastBadPacket.size() < 1000);
        statistics.Unlock();
    }
    return 0;
}
