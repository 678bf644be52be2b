// Drives the coin and bill dispenser decoders (with the Fujitsu dispenser and the cash pocket)
// with arbitrary messages. The first byte picks settings and currency; then each message is a
// selector byte (code, garbage past the length, a bad length, a tick first), the sub-code, a
// length byte and the bytes. Each message goes to two pairs of decoders on their own hosts: one
// sees it with garbage past `length`, the other the clean message; their lines must agree, and
// every state and colour must stay one the report can name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/FakeClock.h"
#include "fuzz/DecoderFuzzHost.h"
#include "monitor/decoders/BillDispenserMonitor.h"
#include "monitor/decoders/CoinDispenserMonitor.h"

namespace {

using namespace lane;
using namespace lane::monitor;
using namespace lane::monitor::fuzz;

constexpr std::uint8_t kCodes[] = {0xAA, 0xAB, 0xAE, 0xB1};

void ApplySettings(std::uint8_t choice, MonitorSettings& settings) {
    const bool on = (choice & 0x01) != 0;
    settings.FireCoinDispRefilled = on;
    settings.FireCoinDispOnline = on;
    settings.FireBillDispRefilled = on;
    settings.FireBillDispOnline = on;
    settings.FireBillDispCassetteReplaced = on;
    settings.FireBillDispJammed = (choice & 0x02) == 0;
}

void CheckStatistics(CDeviceStatistics& statistics) {
    statistics.Lock();
    Check(statistics.CoinDispState <= DeviceState::LowUsage);
    Check(statistics.BillDispState <= DeviceState::LowUsage);
    Check(statistics.StatusCoinDispenser <= StatusColour::Green);
    Check(statistics.StatusBillDispenser <= StatusColour::Green);
    Check(statistics.CoinDispVersion.size() <= 2 * kCoinDispVersionMax);
    for (std::size_t slot = 0; slot < kFeedModuleCount; ++slot) {
        Check(statistics.BillDispFMn[slot] == 0 || statistics.BillDispFMn[slot] == slot + 1);
    }
    Check(statistics.BillDispDivBin <= 1);
    statistics.Unlock();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    FakeClock clock;
    FuzzHost dirtyHost;
    FuzzHost cleanHost;
    ApplySettings(data[0], dirtyHost.settings);
    ApplySettings(data[0], cleanHost.settings);
    const CurrencyProfile currency{(data[0] & 0x40) != 0 ? "GBP" : "USD", 0x0409, "$", ".", ","};
    CCoinDispenserMonitor coin(clock, kNoAlertLibrary, currency);
    CBillDispenserMonitor bill(clock, kNoAlertLibrary, currency);
    CCoinDispenserMonitor cleanCoin(clock, kNoAlertLibrary, currency);
    CBillDispenserMonitor cleanBill(clock, kNoAlertLibrary, currency);
    coin.Start(dirtyHost);
    bill.Start(dirtyHost);
    cleanCoin.Start(cleanHost);
    cleanBill.Start(cleanHost);
    std::size_t offset = 1;
    std::time_t time = 1'000'000'000;
    while (offset + 3 <= size) {
        const std::uint8_t selector = data[offset];
        MonitorMessage clean;
        clean.code = kCodes[selector & 0x03];
        clean.subCode = data[offset + 1];
        clean.time = ++time;
        const std::size_t wanted = data[offset + 2] & 0x7F;
        offset += 3;
        const std::size_t count = wanted < size - offset ? wanted : size - offset;
        for (std::size_t i = 0; i < count; ++i) {
            clean.data[i] = data[offset + i];
        }
        clean.length = static_cast<std::int32_t>(count);
        offset += count;

        MonitorMessage dirty = clean;
        if ((selector & 0x04) != 0) {
            for (std::size_t i = count; i < dirty.data.size(); ++i) {
                dirty.data[i] = static_cast<std::uint8_t>(0x1C + i);
            }
        }
        if ((selector & 0x08) != 0 && count == 0) {
            dirty.length = (selector & 0x10) != 0 ? -9 : 0;
        }
        if ((selector & 0x20) != 0) {
            coin.OnTimer();
            bill.OnTimer();
        }
        Check(coin.FormatTrace(dirty) == cleanCoin.FormatTrace(clean));
        Check(bill.FormatTrace(dirty) == cleanBill.FormatTrace(clean));
        coin.ProcessMessage(dirty);
        bill.ProcessMessage(dirty);
        cleanCoin.ProcessMessage(clean);
        cleanBill.ProcessMessage(clean);
        Check(dirtyHost.notes == cleanHost.notes);
        dirtyHost.notes.clear();
        cleanHost.notes.clear();
        CheckStatistics(dirtyHost.Statistics());
    }
    return 0;
}
