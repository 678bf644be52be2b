// What a scenario says about the bill acceptor behind the module's cash port: its identity
// before and after an upload, the firmware size its loader expects, the state it starts in, and
// the faults it shows at given blocks of an upload.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace lane::sim {

// A fault of the bill acceptor at one block of an upload (each happens once).
enum class BillBlockFault {
    LoseReply,    // the block is taken, its reply is lost
    Miss,         // the block is not taken; the reply names the block held (one behind)
    AnswerOther,  // the block is not taken; the reply names `answer`
    Restart,      // the bill acceptor restarts: the block is lost, no reply, still in upload mode
};

struct BillBlockFaultSetting {
    BillBlockFault kind = BillBlockFault::LoseReply;
    std::uint32_t answer = 0;  // AnswerOther
};

struct BillAcceptorSetup {
    std::uint32_t typeCode = 31;  // LE3900
    std::uint32_t version = 12;   // shown as 120
    std::string partA = "123";
    std::string partB = "456";
    std::string iso = "USD";
    std::uint32_t crc = 0x0BAD;
    // After a completed upload: the new version and parts (the CRC is the image's own).
    std::uint32_t newVersion = 13;
    std::string newPartA = "124";
    std::string newPartB = "457";
    // The firmware size the loader expects, in bytes; 0: an end command after any block
    // completes the upload.
    std::uint32_t imageBytes = 0;
    // The three status bytes outside the upload mode: state, condition, value and more.
    std::uint8_t status[3] = {0x00, 0x00, 0x00};
    // Starting in upload mode, as an interrupted upload left it, holding blocks 0 to `held`
    // (-1: none yet).
    bool uploadMode = false;
    std::int32_t held = -1;
    std::map<std::uint32_t, BillBlockFaultSetting> faults;
};

}  // namespace lane::sim
