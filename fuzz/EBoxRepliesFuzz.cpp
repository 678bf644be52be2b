// Fuzz target of the utility's E-Box and UPS reply readers: the input is cut into received
// packets (port, command, length, data) and fed to each reader until its reply is complete. What
// a reader keeps is checked against a plain model without a size limit: the same characters, cut
// at the buffer, never more. The check digit is checked on the input as an argument.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Moxtel/EBoxLine.h"
#include "fuzz/FuzzPackets.h"
#include "link/TMCB_Support.h"

namespace {

using namespace lane;
using namespace lane::moxtel;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool Carries(const link::LinkPacket& packet, std::uint8_t port) {
    return packet.DA == port && packet.DC == link::TMCB_DC_PORT_DATA && packet.DL > 0;
}

// What a reader with an endless buffer keeps, and whether the reply is complete.
struct Model {
    std::string text;
    bool complete = false;
};

Model EBoxModel(const std::vector<link::LinkPacket>& packets, std::size_t& used) {
    Model model;
    bool started = false;
    for (used = 0; used < packets.size() && !model.complete; ++used) {
        const link::LinkPacket& packet = packets[used];
        if (!Carries(packet, link::kCarouselPort)) {
            continue;
        }
        for (std::size_t i = 0; i < packet.DL; ++i) {
            const char c = static_cast<char>(packet.data[i]);
            if (!started) {
                started = c == '\r';
            } else if (c == '\n') {
                model.complete = true;
            } else {
                model.text.push_back(c);
            }
        }
    }
    return model;
}

Model UpsModel(const std::vector<link::LinkPacket>& packets, std::size_t& used) {
    Model model;
    for (used = 0; used < packets.size() && !model.complete; ++used) {
        if (Carries(packets[used], link::kUpsPort)) {
            model.text.push_back(static_cast<char>(packets[used].data[0]));
            model.complete = packets[used].data[0] == '\n';
        }
    }
    return model;
}

template <typename Reader>
void CheckReader(Reader& reader, const Model& model, std::size_t keep) {
    Check(reader.Complete() == model.complete);
    Check(reader.Text() == std::string_view(model.text).substr(0, keep));
    Check(reader.Dropped() == model.text.size() - std::min(keep, model.text.size()));
    for (std::size_t n = reader.Text().size(); n < 80; ++n) {
        Check(reader.At(n) == '\0');
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // DA is kept to the ports the module has.
    const std::vector<link::LinkPacket> packets = lane::fuzz::Packets(data, size, 0x07);

    std::size_t used = 0;
    const Model ebox = EBoxModel(packets, used);
    CEBoxReplyReader eboxReader;
    eboxReader.Clear();
    for (std::size_t n = 0; n < packets.size() && !eboxReader.Complete(); ++n) {
        static_cast<void>(eboxReader.Take(packets[n]));
        Check(n < used);
    }
    CheckReader(eboxReader, ebox, kEBoxReplyBufferSize - 1);
    Check(!WeightRoundingText(eboxReader.At(1)).empty());
    static_cast<void>(EBoxErrorText(eboxReader.ErrorCode()));
    // The weight display overwrites a position inside the buffer only.
    eboxReader.SetAt(7, '0');
    eboxReader.SetAt(kEBoxReplyBufferSize + 10, '0');
    Check(eboxReader.Text().size() < kEBoxReplyBufferSize);

    const Model ups = UpsModel(packets, used);
    CUpsReplyReader upsReader;
    upsReader.Clear();
    for (std::size_t n = 0; n < packets.size() && !upsReader.Complete(); ++n) {
        static_cast<void>(upsReader.Take(packets[n]));
        Check(n < used);
    }
    CheckReader(upsReader, ups, kUpsReplyBufferSize - 1);

    const std::string argument(reinterpret_cast<const char*>(data),
                               std::min<std::size_t>(size, 64));
    const char digit = EBoxCheckDigit(argument);
    Check(digit >= '0' && digit <= '9');
    unsigned sum = static_cast<unsigned>(digit - '0');
    for (const char c : argument) {
        sum += static_cast<unsigned char>(c) & 0x0FU;
    }
    Check(sum % 10 == 0);
    const std::string framed = EBoxFramedCommand('O', argument);
    Check(framed.size() == argument.size() + 4 && framed.front() == '\r' && framed.back() == '\n');
    return 0;
}
