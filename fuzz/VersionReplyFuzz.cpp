// Fuzz target of the installer's reading of the module's version reply: any reply, of any length,
// is read within its bytes; the version is at most three digits taken from bytes 6 to 8 only, and
// a reply matches a code only when it carries 'z' and that code.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "installer/FirmwareVersionQuery.h"

namespace {

using lane::quillan::ReplyMatches;
using lane::quillan::VersionFromReply;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool IsDigit(std::uint8_t byte) {
    return byte >= '0' && byte <= '9';
}

void CheckVersion(const std::vector<std::uint8_t>& reply) {
    const std::size_t size = reply.size();
    const int version = VersionFromReply(reply.data(), size);
    Check(version >= 0 && version <= 999);
    if (size <= 6 || !IsDigit(reply[6])) {
        Check(version == 0);
    }
    if (size >= 9 && IsDigit(reply[6]) && IsDigit(reply[7]) && IsDigit(reply[8])) {
        Check(version == (reply[6] - '0') * 100 + (reply[7] - '0') * 10 + (reply[8] - '0'));
    }
    // Bytes past the digits change nothing: the reply cut after byte 8 reads the same.
    if (size > 9) {
        const std::vector<std::uint8_t> cut(reply.begin(), reply.begin() + 9);
        Check(VersionFromReply(cut.data(), cut.size()) == version);
    }
    // The reply one byte shorter: a last digit of the version is lost, anything else is not.
    if (size > 6 && size <= 9) {
        bool allDigits = true;
        for (std::size_t i = 6; i < size; ++i) {
            allDigits = allDigits && IsDigit(reply[i]);
        }
        const std::vector<std::uint8_t> shorter(reply.begin(), reply.end() - 1);
        const int less = VersionFromReply(shorter.data(), shorter.size());
        Check(less == (allDigits ? version / 10 : version));
    }
}

void CheckMatch(const std::vector<std::uint8_t>& reply, char code) {
    if (ReplyMatches(reply.data(), reply.size(), code)) {
        Check(reply.size() >= 5 && reply[3] == 'z' && reply[4] == static_cast<std::uint8_t>(code));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the reply's length, so that a read past it is caught.
    const std::vector<std::uint8_t> reply(data, data + size);
    CheckVersion(reply);
    CheckMatch(reply, '2');
    CheckMatch(reply, '4');
    if (size > 0) {
        CheckMatch(reply, static_cast<char>(reply[0]));
    }
    // A reply that carries 'z' and its code matches it.
    if (size >= 5) {
        std::vector<std::uint8_t> marked = reply;
        marked[3] = 'z';
        Check(ReplyMatches(marked.data(), marked.size(), static_cast<char>(marked[4])));
    }
    return 0;
}
