// What lanesim's security module says: its packets in both wire forms, its answers to the
// packets the programs write (port acknowledgements, the system-port loopback, the service
// port's requests), the remote-monitor stream cut into packets, and the scenario's faults.
// No I/O here; sim/ModuleFace.* moves the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "sim/BillAcceptor.h"
#include "sim/CarouselPorts.h"
#include "sim/FujitsuDispenser.h"
#include "sim/LaneTestDevices.h"
#include "sim/Scenario.h"
#include "sim/ServiceItems.h"
#include "sim/SettingDevices.h"

namespace lane::sim {

// The module's ports and commands, as the module firmware knows them.
inline constexpr std::uint8_t kModuleSystemPort = 0;
inline constexpr std::uint8_t kModuleCashPort = 5;
inline constexpr std::uint8_t kModuleServicePort = 6;
inline constexpr std::uint8_t kModuleRemoteMonitorPort = 7;
inline constexpr std::uint8_t kModuleInitPort = 1;
inline constexpr std::uint8_t kModuleOpenPort = 2;
inline constexpr std::uint8_t kModuleClosePort = 3;
inline constexpr std::uint8_t kModulePortData = 6;
inline constexpr std::uint8_t kModuleLoopback = 0xA0;

// The USB wire form: DA, DC, DL (0 to 60), data, checksum; at most 64 bytes.
inline constexpr std::size_t kModuleUsbMaxData = 60;
inline constexpr std::size_t kModuleUsbPacketSize = 64;
// The interface board's form: DA, DC, DL, data, no checksum; at most 255 bytes.
inline constexpr std::size_t kModuleBoardMaxData = 252;

// One packet as the module sees it.
struct ModulePacket {
    std::uint8_t DA = 0;
    std::uint8_t DC = 0;
    std::vector<std::uint8_t> data;
};

// The low 8 bits of the sum of the bytes.
std::uint8_t ModuleChecksum(const std::uint8_t* bytes, std::size_t count);

// Reads a USB wire packet as the module does: DL at most 60, exactly DL + 4 bytes, and a
// checksum that matches. Anything else is not a packet (nullopt).
std::optional<ModulePacket> ReadUsbPacket(const std::vector<std::uint8_t>& bytes);
// Reads a board packet: exactly DL + 3 bytes.
std::optional<ModulePacket> ReadBoardPacket(const std::vector<std::uint8_t>& bytes);
// The wire forms of a packet (its data must fit: 60 bytes on USB, 252 on the board).
std::vector<std::uint8_t> UsbWireBytes(const ModulePacket& packet);
std::vector<std::uint8_t> BoardWireBytes(const ModulePacket& packet);

// What a packet does to the module's ports.
enum class PortChange { None, Initialised, Opened, Closed };

struct ModuleAnswer {
    PortChange change = PortChange::None;
    std::uint8_t port = 0;                // the port that changed
    std::vector<ModulePacket> responses;  // packets the module sends back, in order
    std::vector<std::string> notes;       // what the devices behind the ports did, for the record
};

// What the module's answers carry from one to the next.
struct ModuleAnswerState {
    // The cash machine numbers its replies 1, 2, ... 255, 1, ...; 0 before the first.
    std::uint8_t cashSequence = 0;
    // The carousel E-Box on port 4 and the UPS on port 3.
    CarouselPorts carousel;
    // The coin dispenser, cash counting buffers and lane settings.
    SettingDevices settingDevices;
    // The bill acceptor behind the cash port ('B' requests).
    BillAcceptor billAcceptor;
    // The security module menu's proximity, capacity, EAS lane light and EAS controller items.
    ServiceItems serviceItems;
    // The devices of the utility's live tests on port 6 (the scale stream, conveyors, ...).
    LaneTestDevices laneTests;
    // The Fujitsu bill dispenser behind the cash port ('D' requests).
    FujitsuDispenser fujitsuDispenser;
};

// The module's answer to one packet it received:
// - initialise, open and close of any port change the port's state; open and close of the
//   remote-monitor port 7 are acknowledged on port 7 (DC 2, DC 3, no data);
// - the system-port loopback (port 0, DC 0xA0) is echoed;
// - service-port requests (port 6, DC 6, a letter and a code) are answered from a table: the
//   EPROM version ('Z' '2'), the checksum ('Z' '4') and the model ('Z' '5');
// - cash-port requests (port 5, DC 6) likewise: sync ('S' '4'), CCU version ('S' '2') and the
//   the bill acceptor's requests ('B' and a code, answered by state.billAcceptor); each reply
//   starts with the next sequence byte. The
//   program's acknowledgements ('S' '0' and a sequence byte) are taken without an answer;
// - every service or cash reply comes after `noise` unrelated port-data packets on its port;
// - everything else is taken without an answer.
ModuleAnswer AnswerPacket(const ModulePacket& received, const ModuleIdentity& identity,
                          ModuleAnswerState& state, std::uint32_t noise = 0);

// The remote-monitor stream as the module sends it: port-data packets on port 7 of at most 60
// data bytes each, in order.
std::vector<ModulePacket> CutMonitorStream(const std::vector<std::uint8_t>& bytes);

// The faults armed by the scenario, applied in turn to the packets the module sends.
class FaultPlan {
  public:
    void Arm(const ModuleFault& fault);
    // Applies every armed fault that matches the packet's port to its wire bytes (`usbForm`:
    // the USB form with its checksum, else the board form). False when a fault says the packet
    // is not sent. Each fault that applied counts one packet off.
    bool Apply(std::uint8_t port, bool usbForm, std::vector<std::uint8_t>& wire);
    bool Empty() const { return armed_.empty(); }

  private:
    std::deque<ModuleFault> armed_;
};

}  // namespace lane::sim
