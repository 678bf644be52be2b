// The exchanges of the carousel scale's E-Box on port 4 and of the UPS on port 3: their ports'
// set-up, flushing, one request written, one reply read, and the carousel control requests to
// the security module itself on port 6. Each call logs its own failure.
#pragma once

#include <cstdint>
#include <string_view>

#include "Moxtel/EBoxLine.h"
#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// Wait counts (ReadPacketFromSecurityModule looks every 100 ms).
inline constexpr int kDeviceReplyWaitCount = 500;  // an E-Box or UPS reply
inline constexpr int kFlushWaitCount = 10;         // a packet still on its way when flushing
// A flush that still finds packets after this many reads gives up.
inline constexpr int kFlushReadLimit = 99;

// The carousel control requests to the security module (three characters on port 6).
enum class CarouselControl { PollingOff, PollingOn, DefaultOverrideOff, DefaultOverrideOn };

class CCarouselPorts {
  public:
    CCarouselPorts(UtilityRun& run, const char* module) : run_(run), module_(module) {}

    // Initialises and opens port 4 or port 3 with its line settings; 0 or non-zero.
    [[nodiscard]] int OpenDevicePort(std::uint8_t port);
    [[nodiscard]] int CloseDevicePort(std::uint8_t port);
    // Reads until nothing more arrives; gives up with ERROR 52 after kFlushReadLimit packets.
    void Flush(std::uint8_t port);

    // One E-Box request; "ERROR 11: Sending data to port 4." when it cannot be written.
    [[nodiscard]] int WriteEBox(std::string_view data);
    // One E-Box reply into `reply`: 0, or non-zero after ERROR 50 (nothing came in time) or an
    // "Err" reply (its code and text are shown).
    [[nodiscard]] int ReadEBoxReply(CEBoxReplyReader& reply);

    // One UPS request character; "ERROR 11: Sending data to port 3." when it cannot be written.
    [[nodiscard]] int WriteUps(char request);
    // One UPS reply into `reply`: the number of characters, 0 after ERROR 50.
    [[nodiscard]] std::size_t ReadUpsReply(CUpsReplyReader& reply);

    // Port 6 opened, the control request written, port 6 closed. A failed write shows
    // "ERROR 11: on Port 4." and the caller goes on.
    void Control(CarouselControl request);

    UtilityRun& Run() { return run_; }
    void Show(const char* text);
    void Prompt(const char* text);
    // Reads one key (upper-cased when asked) and echoes it with a line end.
    int AskKey(bool upperCase);
    // The menus' key wait: "\nPress any key to continue" and one key.
    void WaitForKey();

  private:
    [[nodiscard]] int WritePortPacket(std::uint8_t port, std::uint8_t command,
                                      std::string_view data);

    UtilityRun& run_;
    const char* module_;
};

}  // namespace lane::moxtel
