// Helpers of the cash decoder tests: a started decoder on a fake host, messages from byte lists.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <vector>

#include "common/FakeClock.h"
#include "monitor/acquisition/MonitorMessage.h"
#include "monitor/decoders/CurrencyProfile.h"
#include "tests/monitor/stats/MonitorTestSupport.h"

namespace lane::monitor::testing {

// The profile an American lane gets from its locale, written out so that the decoder tests do
// not depend on the machine's locales (CurrencyProfileTest covers those).
inline CurrencyProfile DollarProfile() {
    return CurrencyProfile{"USD", 0x0409, "$", ".", ","};
}

inline MonitorMessage Bytes(std::uint8_t code, std::uint8_t subCode,
                            const std::vector<std::uint8_t>& data, std::time_t time = 0) {
    MonitorMessage message;
    message.code = code;
    message.subCode = subCode;
    message.time = time;
    message.length = static_cast<std::int32_t>(data.size());
    for (std::size_t i = 0; i < data.size() && i < message.data.size(); ++i) {
        message.data[i] = data[i];
    }
    return message;
}

// A decoder started on a fake host whose alerts go to a record file. The tests call
// FormatTrace, ProcessMessage and OnTimer directly: the worker thread only waits, because the
// fake clock never reaches the hourly tick unless a test moves it.
template <typename Decoder>
class DecoderFixture : public ::testing::Test {
  protected:
    explicit DecoderFixture(CurrencyProfile currency = DollarProfile())
        : decoder(clock, kTestAlertLibrary, std::move(currency)) {}

    void SetUp() override {
        decoder.Start(host);
        ASSERT_TRUE(clock.AwaitWaiters(1));
    }

    CDeviceStatistics& Stats() { return host.statistics; }
    MonitorSettings& Settings() { return host.settings; }

    ScratchFolder folder;
    AlertRecord alerts{folder.File("alerts.txt")};
    FakeHost host{folder.File("HKEY_LOCAL_MACHINE.reg")};
    FakeClock clock;
    Decoder decoder;
};

}  // namespace lane::monitor::testing
