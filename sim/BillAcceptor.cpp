// lanesim's bill acceptor: requests, the upload mode, blocks, the end of an upload, faults.
#include "sim/BillAcceptor.h"

#include <algorithm>
#include <cstdio>

namespace lane::sim {

namespace {

constexpr std::uint8_t kUploadModeStatus = 0x50;
constexpr std::uint8_t kVersionReplyStatus = 0x60;
constexpr std::uint8_t kNormalStatus = 0x40;
constexpr std::uint32_t kNoBlock = 0xFFFF;
// Data lengths of a block request: the USB module's layout and the interface board's.
constexpr std::size_t kUsbBlockLength = 4 + kBillAcceptorBlockBytes;
constexpr std::size_t kBoardBlockLength = 6 + 2 * kBillAcceptorBlockBytes;

// Four 4-bit digits, most significant first.
std::string Digits(std::uint32_t value) {
    std::string digits;
    for (int shift = 12; shift >= 0; shift -= 4) {
        digits.push_back(static_cast<char>((value >> shift) & 0x0Fu));
    }
    return digits;
}

std::string UploadStatus(std::int32_t held) {
    const std::uint32_t block = held < 0 ? kNoBlock : static_cast<std::uint32_t>(held);
    return "b1" + Digits(block) + static_cast<char>(kUploadModeStatus) + '\0';
}

std::string Hex4(std::uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value & 0xFFFFu));
    return text;
}

// The block number and bytes of a block request in either layout; false when it has neither.
bool ReadBlock(const std::vector<std::uint8_t>& data, std::uint32_t& block,
               std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (data.size() == kUsbBlockLength) {
        block = static_cast<std::uint32_t>(data[2] << 8 | data[3]);
        bytes.assign(data.begin() + 4, data.end());
        return true;
    }
    if (data.size() != kBoardBlockLength) {
        return false;
    }
    block = 0;
    for (std::size_t i = 2; i < 6; ++i) {
        block = block * 16 + (data[i] & 0x0Fu);
    }
    for (std::size_t i = 6; i + 1 < data.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>((data[i] & 0x0Fu) << 4 | (data[i + 1] & 0x0Fu)));
    }
    return true;
}

}  // namespace

std::uint16_t BillAcceptorCrc(const std::vector<std::uint8_t>& image) {
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t byte : image) {
        crc = static_cast<std::uint16_t>(crc ^ (byte << 8));
        for (int bit = 0; bit < 8; ++bit) {
            crc =
                static_cast<std::uint16_t>((crc & 0x8000u) != 0 ? (crc << 1) ^ 0x1021u : crc << 1);
        }
    }
    return crc;
}

BillAcceptor::BillAcceptor(const BillAcceptorSetup& setup)
    : setup_(setup), uploadMode_(setup.uploadMode), held_(setup.uploadMode ? setup.held : -1) {
    if (held_ >= 0) {
        // What an interrupted upload left is not known here: zeros stand for it.
        image_.assign(static_cast<std::size_t>(held_ + 1) * kBillAcceptorBlockBytes, 0);
    }
}

BillAcceptorAnswer BillAcceptor::Take(const std::vector<std::uint8_t>& data) {
    BillAcceptorAnswer answer;
    if (data.size() < 2 || data[0] != kBillAcceptorLetter) {
        return answer;
    }
    const char code = static_cast<char>(data[1]);
    // In its upload mode the bill acceptor's loader knows the status, the blocks and the end.
    if (uploadMode_ && code != '1' && code != '7' && code != '8' && code != '9') {
        return answer;
    }
    switch (code) {
        case '1':
            Status(answer);
            return answer;
        case '4':
            answer.replies.push_back("b1" + Digits(setup_.crc) +
                                     static_cast<char>(kVersionReplyStatus) +
                                     static_cast<char>(setup_.typeCode & 0x7Fu) +
                                     static_cast<char>(setup_.version & 0x7Fu));
            return answer;
        case 'B':
        case 'D':
            answer.replies.push_back(std::string("b") + code + setup_.partA);
            return answer;
        case 'C':
        case 'E':
            answer.replies.push_back(std::string("b") + code + setup_.partB);
            return answer;
        case 'A':
            answer.replies.push_back("bA" + setup_.iso);
            return answer;
        case '7':
            if (!uploadMode_) {
                uploadMode_ = true;
                held_ = -1;
                image_.clear();
                answer.notes.push_back("bill acceptor upload mode");
                answer.replies.push_back(UploadStatus(held_));
            }
            return answer;
        case '8':
            Block(data, answer);
            return answer;
        case '9':
            End(answer);
            return answer;
        case 'F':
            answer.notes.push_back("bill acceptor bezel type standard");
            Status(answer);
            return answer;
        case '2':
            answer.notes.push_back(data.size() > 2 && data[2] != 0 ? "bill acceptor enabled"
                                                                   : "bill acceptor disabled");
            return answer;
        case '3':
            answer.notes.push_back(data.size() > 2 && data[2] == 1 ? "bill acceptor bill rejected"
                                                                   : "bill acceptor bill stacked");
            return answer;
        case '6':
            answer.notes.push_back("bill acceptor calibration");
            return answer;
        default:
            return answer;
    }
}

void BillAcceptor::Status(BillAcceptorAnswer& answer) const {
    if (uploadMode_) {
        answer.replies.push_back(UploadStatus(held_));
        return;
    }
    std::string reply = "b1";
    for (const std::uint8_t byte : setup_.status) {
        reply.push_back(static_cast<char>(byte));
    }
    reply += std::string("\0", 1) + static_cast<char>(kNormalStatus) + '\0';
    answer.replies.push_back(reply);
}

void BillAcceptor::Block(const std::vector<std::uint8_t>& data, BillAcceptorAnswer& answer) {
    std::uint32_t block = 0;
    std::vector<std::uint8_t> bytes;
    if (!ReadBlock(data, block, bytes)) {
        answer.notes.push_back("bill acceptor block refused (" + std::to_string(data.size()) +
                               " data bytes)");
        return;
    }
    const std::string name = "bill acceptor block " + std::to_string(block);
    if (!uploadMode_) {
        answer.notes.push_back(name + " outside the upload mode");
        return;
    }
    bool replyLost = false;
    const auto fault = setup_.faults.find(block);
    if (fault != setup_.faults.end()) {
        const BillBlockFaultSetting setting = fault->second;
        setup_.faults.erase(fault);
        switch (setting.kind) {
            case BillBlockFault::LoseReply:
                replyLost = true;  // taken below, its reply dropped
                break;
            case BillBlockFault::Miss:
                answer.notes.push_back(name + " missed (fault)");
                answer.replies.push_back(UploadStatus(held_));
                return;
            case BillBlockFault::AnswerOther:
                answer.notes.push_back(name + " answered as block " +
                                       std::to_string(setting.answer) + " (fault)");
                answer.replies.push_back(UploadStatus(static_cast<std::int32_t>(setting.answer)));
                return;
            case BillBlockFault::Restart:
                answer.notes.push_back(name +
                                       " lost: the bill acceptor restarted, still in "
                                       "upload mode holding block " +
                                       std::to_string(held_) + " (fault)");
                return;
        }
    }
    if (static_cast<std::int64_t>(block) > held_ + 1 || block >= kMaxBillAcceptorBlocks) {
        answer.notes.push_back(name + " out of order (holding " + std::to_string(held_) + ")");
        answer.replies.push_back(UploadStatus(held_));
        return;
    }
    // A block taken again (after a step back) is written over, and the upload goes on after it.
    const std::size_t from = block * kBillAcceptorBlockBytes;
    image_.resize(from + kBillAcceptorBlockBytes, 0);
    std::copy(bytes.begin(), bytes.end(), image_.begin() + static_cast<std::ptrdiff_t>(from));
    held_ = static_cast<std::int32_t>(block);
    if (replyLost) {
        answer.notes.push_back(name + " taken, its reply lost (fault)");
        return;
    }
    answer.replies.push_back(UploadStatus(held_));
}

std::size_t BillAcceptor::BlocksNeeded() const {
    return (setup_.imageBytes + kBillAcceptorBlockBytes - 1) / kBillAcceptorBlockBytes;
}

void BillAcceptor::End(BillAcceptorAnswer& answer) {
    if (!uploadMode_) {
        return;
    }
    if (held_ < 0) {
        uploadMode_ = false;
        answer.notes.push_back("bill acceptor upload aborted before any block");
        return;
    }
    const std::size_t held = static_cast<std::size_t>(held_) + 1;
    if (held < BlocksNeeded()) {
        answer.notes.push_back("bill acceptor upload ended at block " + std::to_string(held_) +
                               " of " + std::to_string(BlocksNeeded()) + ": still in upload mode");
        return;
    }
    image_.resize(held * kBillAcceptorBlockBytes);
    uploadMode_ = false;
    held_ = -1;
    setup_.crc = BillAcceptorCrc(image_);
    setup_.version = setup_.newVersion;
    setup_.partA = setup_.newPartA;
    setup_.partB = setup_.newPartB;
    completed_ = true;
    answer.notes.push_back("bill acceptor upload complete (" + std::to_string(held) + " blocks, " +
                           std::to_string(image_.size()) + " bytes, CRC " + Hex4(setup_.crc) +
                           "), restarted");
}

bool BillAcceptor::TakeCompleted(std::vector<std::uint8_t>& image) {
    if (!completed_) {
        return false;
    }
    completed_ = false;
    image = image_;
    return true;
}

}  // namespace lane::sim
