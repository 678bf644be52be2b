// Fuzz target of the utility's reply loops: the input is cut into received packets (port,
// command, length, data) and put on the link's receive queue, then every request of the start-up
// sequence and of the bill acceptor, and the bill acceptor upload's exchange, read their
// replies from there. Each loop ends on its match, on the hundredth packet or on an empty queue,
// and what it fills from a reply has the form the rest of the utility relies on.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Moxtel/BillAcceptorImage.h"
#include "Moxtel/BillAcceptorSender.h"
#include "Moxtel/securitymodule_commands.h"
#include "fuzz/UtilityFuzzRig.h"

namespace {

using namespace lane;
using namespace lane::moxtel;
using namespace lane::moxtel::fuzz;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "VV.VV DD/MM/YYYY" laid out from the reply, and the version number that the text's last three
// version digits give (0 when one is not a digit).
void CheckVersionText(const std::string& text, unsigned version) {
    Check(text.size() == 16 && text[2] == '.' && text[5] == ' ' && text[8] == '/' &&
          text[11] == '/');
    const bool digits = IsDigit(text[1]) && IsDigit(text[3]) && IsDigit(text[4]);
    const unsigned expected =
        digits ? static_cast<unsigned>((text[1] - '0') * 100 + (text[3] - '0') * 10 + text[4] - '0')
               : 0;
    Check(version == expected);
}

// A single exchange gives 0 on a match among the first 99 packets, 12 on the hundredth packet
// and 10 once the queue is empty.
void CheckExchange(int result, std::size_t before, std::size_t after) {
    Check(after <= before);
    const std::size_t taken = before - after;
    switch (result) {
        case 0:
            Check(taken >= 1 && taken < static_cast<std::size_t>(kReplyLoopPacketLimit));
            break;
        case 10:
            Check(after == 0 && taken < static_cast<std::size_t>(kReplyLoopPacketLimit));
            break;
        case 12:
            Check(taken == static_cast<std::size_t>(kReplyLoopPacketLimit));
            break;
        default:
            Check(false);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Rig rig;
    link::CReceiveQueue& queue = rig.link.Queue();
    link::LinkPacket left;
    while (queue.Take(left)) {
    }
    rig.identity = SecurityModuleIdentity{};
    rig.billAcceptor = BillAcceptorIdentity{};
    for (const link::LinkPacket& packet : Packets(data, size)) {
        queue.Add(packet);
    }

    // A request that finds the queue empty reads nothing: the run ends there, which keeps each
    // input to a handful of writes.
    SecurityModuleCommands commands(rig.run);
    const auto exchange = [&](int (SecurityModuleCommands::*request)()) {
        const std::size_t before = queue.Size();
        if (before == 0) {
            return -1;
        }
        const int result = (commands.*request)();
        CheckExchange(result, before, queue.Size());
        return result;
    };

    if (exchange(&SecurityModuleCommands::RequestEpromVersion) == 0) {
        CheckVersionText(rig.identity.versionText, rig.identity.version);
    }
    if (exchange(&SecurityModuleCommands::RequestChecksum) == 0) {
        Check(rig.identity.checksumText.size() == 4);
    }
    if (exchange(&SecurityModuleCommands::RequestModel) == 0) {
        Check(rig.identity.model.size() == 3);
    }
    static_cast<void>(exchange(&SecurityModuleCommands::SyncCashMachine));
    if (exchange(&SecurityModuleCommands::RequestCcuVersion) == 0) {
        CheckVersionText(rig.identity.ccuVersionText, rig.identity.ccuVersion);
    }
    if (exchange(&SecurityModuleCommands::RequestBillAcceptorStatus) == 0) {
        Check(rig.billAcceptor.startingBlock <= 65000);
        Check(rig.billAcceptor.uploadMode || rig.billAcceptor.startingBlock == 0);
    }
    if (queue.Size() == 0) {
        return 0;
    }
    // Several exchanges, chosen by the module version the first reply gave.
    const int version = commands.RequestBillAcceptorVersion();
    Check(version == 0 || version == 10 || version == 12);
    const BillAcceptorIdentity& acceptor = rig.billAcceptor;
    Check(acceptor.versionPartA.size() == 3 && acceptor.versionPartB.size() == 3);
    if (version == 0) {
        Check(acceptor.typeCode <= 0x7F && acceptor.versionNumber <= 0x7F);
        Check(acceptor.startingVersionKept && acceptor.startingVersion == acceptor.versionNumber);
        Check(acceptor.crc <= 0x7Fu * (4096 + 256 + 16 + 1));
        Check(rig.identity.version < 330 || acceptor.isoCode.size() == 3);
    }
    if (queue.Size() == 0) {
        return 0;
    }
    // The bill acceptor upload reads what is left: the upload mode after the start, then each
    // block's reply, from a starting block and mode the input chooses.
    static BillAcceptorImage image;
    if (image.count == 0) {
        LoadBillAcceptorImage(std::string(100, '\x5A'), image);
    }
    rig.billAcceptor.uploadMode = (data[0] & 1) != 0;
    rig.billAcceptor.startingBlock = data[0] >> 6;
    const int started = StartBillAcceptorUpload(rig.run, commands);
    Check(started == 0 || started == kBillStartNoReply || started == kBillStartTooManyPackets);
    if (started == 0 && queue.Size() > 0) {
        const int sent = SendBillAcceptorImage(rig.run, commands, image);
        Check(sent == 0 || sent == kBillBlockFailed);
    }
    return 0;
}
