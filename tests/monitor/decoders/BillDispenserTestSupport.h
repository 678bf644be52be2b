// The bill dispenser decoder on a fake host, with its alerts switched on and message builders.
#pragma once

#include <string>
#include <vector>

#include "monitor/decoders/BillDispenserMonitor.h"
#include "tests/monitor/decoders/DecoderTestSupport.h"

namespace lane::monitor::testing {

inline constexpr std::uint8_t kBillDisp = 0xAB;
inline constexpr std::uint8_t kSep = 0x1C;
using Notes = std::vector<std::string>;  // trace lines, in order

// A response of the dispenser: its code, then its fields from data[4].
inline MonitorMessage Response(std::uint8_t code, const std::vector<std::uint8_t>& fields,
                               std::time_t time) {
    std::vector<std::uint8_t> data = {0x02, '3', '0', code};
    data.insert(data.end(), fields.begin(), fields.end());
    return Bytes(kBillDisp, 2, data, time);
}

class BillDispenserFixture : public DecoderFixture<CBillDispenserMonitor> {
  protected:
    void SetUp() override {
        DecoderFixture::SetUp();
        Settings().FireBillDispRefilled = true;
        Settings().FireBillDispOnline = true;
        Settings().FireBillDispCassetteReplaced = true;
    }
    void Process(const MonitorMessage& message) { decoder.ProcessMessage(message); }
    Notes TakeNotes() {
        Notes notes = host.Notes();
        Notes fresh(notes.begin() + static_cast<long>(notesSeen_), notes.end());
        notesSeen_ = notes.size();
        return fresh;
    }
    std::vector<int> TakeEvents() {
        std::vector<int> codes = alerts.Codes();
        std::vector<int> fresh(codes.begin() + static_cast<long>(eventsSeen_), codes.end());
        eventsSeen_ = codes.size();
        return fresh;
    }

  private:
    std::size_t notesSeen_ = 0;
    std::size_t eventsSeen_ = 0;
};

}  // namespace lane::monitor::testing
