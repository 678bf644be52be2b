// Plays the security module for the device command tests: each request the utility writes is
// answered from a table by the longest key its data starts with; cash-port replies get the next
// sequence byte, and the utility's acknowledgements are taken without an answer.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/Moxtel/ModuleLinkRig.h"

namespace lane::moxtel::test {

class ScriptedModule {
  public:
    // Replies to requests whose data starts with `request`: each entry one packet's data (on the
    // cash port after the sequence byte).
    void Answer(std::uint8_t port, const std::string& request,
                const std::vector<std::string>& replies) {
        answers_[Key(port, request)] = replies;
    }
    // Every request written so far (port, then its data), acknowledgements left out.
    const std::vector<std::string>& Requests() const { return requests_; }

    // The rig's responder.
    // The rig's responder; `queue` puts a reply on the link's queue.
    std::function<void(const Bytes&)> Responder(
        std::function<void(const link::LinkPacket&)> queue) {
        return [this, queue](const Bytes& written) {
            if (written.size() < 4 || written[1] != link::TMCB_DC_PORT_DATA) {
                return;
            }
            const std::uint8_t port = written[0];
            const std::string data(written.begin() + 3, written.end() - 1);
            if (port == link::kCashPort && data.size() == 3 && data[0] == 'S' && data[1] == '0') {
                return;  // an acknowledgement
            }
            requests_.push_back(Key(port, data));
            const std::vector<std::string>* replies = Find(Key(port, data));
            if (replies == nullptr) {
                return;
            }
            for (const std::string& reply : *replies) {
                std::string packet = reply;
                if (port == link::kCashPort) {
                    packet.insert(packet.begin(), static_cast<char>(++sequence_));
                }
                queue(PortData(port, packet));
            }
        };
    }

    static std::string Key(std::uint8_t port, const std::string& data) {
        return std::string(1, static_cast<char>('0' + port)) + data;
    }

  private:
    const std::vector<std::string>* Find(const std::string& request) const {
        const std::vector<std::string>* best = nullptr;
        std::size_t bestLength = 0;
        for (const auto& [key, replies] : answers_) {
            if (request.compare(0, key.size(), key) == 0 && key.size() >= bestLength) {
                best = &replies;
                bestLength = key.size();
            }
        }
        return best;
    }

    std::map<std::string, std::vector<std::string>> answers_;
    std::vector<std::string> requests_;
    std::uint8_t sequence_ = 0;
};

}  // namespace lane::moxtel::test
