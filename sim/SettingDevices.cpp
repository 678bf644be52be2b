// Which of the setting devices answers a request.
#include "sim/SettingDevices.h"

namespace lane::sim {

namespace {

constexpr std::uint8_t kCashPort = 5;
constexpr std::uint8_t kServicePort = 6;

}  // namespace

bool AnswerSettingDevices(std::uint8_t port, const std::vector<std::uint8_t>& request,
                          const ModuleIdentity& identity, SettingDevices& devices,
                          std::vector<std::string>& replies, std::vector<std::string>& notes) {
    if (!devices.setUp) {
        devices.coinDispenser = CoinDispenser(identity.coinDispenser);
        devices.laneSettings = LaneSettings(identity.laneSettings);
        devices.cashBuffers = CashBuffers(identity.cashBuffers);
        devices.setUp = true;
    }
    if (port == kCashPort) {
        return devices.coinDispenser.Answer(request, replies, notes) ||
               devices.cashBuffers.Answer(request, replies, notes);
    }
    if (port == kServicePort) {
        return devices.laneSettings.Answer(request, replies, notes);
    }
    return false;
}

}  // namespace lane::sim
