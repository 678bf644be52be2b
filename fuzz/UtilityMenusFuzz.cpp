// Fuzz target of the utility's service menus: a technician's keys and the module's replies. The
// input names the module version, then the keys typed, then the packets received; the main menu
// runs on them until its keys run out (the end of input leaves every menu and screen). Whatever
// the keys and replies, every menu returns and no reply or typed text is read past its end.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Moxtel/Command_UserMenu.h"
#include "fuzz/UtilityFuzzRig.h"

namespace {

using namespace lane;
using namespace lane::moxtel;
using namespace lane::moxtel::fuzz;

// The versions at which the menus list or run items differently, and their neighbours.
constexpr std::array<unsigned, 24> kVersions{300, 334, 335, 336, 339, 340, 347, 348,
                                             400, 404, 405, 409, 428, 429, 432, 433,
                                             438, 439, 445, 446, 463, 464, 470, 500};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Rig rig;
    if (size < 2) {
        return 0;
    }
    link::CReceiveQueue& queue = rig.link.Queue();
    link::LinkPacket left;
    while (queue.Take(left)) {
    }
    const unsigned version = kVersions[data[0] % kVersions.size()];
    rig.identity = SecurityModuleIdentity{};
    rig.identity.version = version;
    rig.identity.versionText = "0" + std::to_string(version / 100) + "." +
                               std::to_string(version / 10 % 10) + std::to_string(version % 10) +
                               " 01/15/2019";
    rig.identity.checksumText = "5A3C";
    rig.identity.checksumStatus = '0';
    rig.identity.model = "750";
    rig.billAcceptor = BillAcceptorIdentity{};
    const std::size_t keyCount = std::min<std::size_t>(data[1], size - 2);
    rig.console.SetKeys(std::string_view(reinterpret_cast<const char*>(data + 2), keyCount));
    for (const link::LinkPacket& packet : Packets(data + 2 + keyCount, size - 2 - keyCount)) {
        queue.Add(packet);
    }
    RunMainMenu(rig.run);
    // The main menu is left only by its exit key, typed or given by the end of input.
    return 0;
}
