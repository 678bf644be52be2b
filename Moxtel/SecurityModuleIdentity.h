// What the utility learns about the security module and the bill acceptor behind it: filled by
// the start-up sequence and the bill acceptor requests, read by every command of the run.
#pragma once

#include <cstdint>
#include <string>

namespace lane::moxtel {

struct SecurityModuleIdentity {
    std::string versionText;     // "04.47 01/15/2019": EPROM version reply bytes 5 to 16
    unsigned version = 0;        // 447 for 4.47; 0 until read
    std::string checksumText;    // four hexadecimal digits, checksum reply bytes 6 to 9
    char checksumStatus = '1';   // '0' when the firmware's own checksum passed
    std::string model;           // three characters, model reply bytes 5 to 7
    std::string ccuVersionText;  // "01.30 07/04/2021" (TMCB board only)
    unsigned ccuVersion = 0;     // 130 for 1.30
};

struct BillAcceptorIdentity {
    unsigned typeCode = 0;       // basic version reply byte 11, low 7 bits
    unsigned versionNumber = 0;  // byte 12, low 7 bits
    bool startingVersionKept = false;
    unsigned startingVersion = 0;  // the first version number read in the run
    std::string versionPartA = "000";
    std::string versionPartB = "000";
    unsigned crc = 0;         // b6*4096 + b7*256 + b8*16 + b9, low 7 bits each
    std::string isoCode;      // three characters
    bool uploadMode = false;  // from the status request
    unsigned startingBlock = 0;
};

}  // namespace lane::moxtel
