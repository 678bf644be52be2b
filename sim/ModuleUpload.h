// The firmware upload as lanesim's security module takes it on its system port: a start packet
// announces the image length, data packets carry the image, and the image is complete once the
// announced length has arrived. No I/O here except the crash-safe write of a finished image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/ModuleFaceProtocol.h"

namespace lane::sim {

inline constexpr std::uint8_t kModuleStartUpload = 0xF0;
inline constexpr std::uint8_t kModuleUploadData = 0xF1;
// The start packet's data after the two length bytes.
inline constexpr std::uint8_t kStartUploadMarker[3] = {0xAA, 0x55, 0xA0};
// A length of 0 in the start packet stands for a full 64-kilobyte image.
inline constexpr std::size_t kFullUploadBytes = 65536;

// What one packet did to the upload.
enum class UploadEvent {
    None,       // not an upload packet, or more data of an upload under way
    Started,    // a start packet: an upload of `expected` bytes began
    Restarted,  // a start packet while another upload was under way: that one was aborted
    Completed,  // the announced length has arrived: Image() holds it
    Oversized,  // data past the announced length: an upload under way is lost (a completed
                // one stays)
    Stray,      // data before any start (first such packet)
    BadStart,   // a start packet of the wrong shape: ignored
};

class FirmwareUploadCapture {
  public:
    // Takes one packet the module received; anything but a system-port start or data packet
    // gives None and changes nothing.
    UploadEvent Take(const ModulePacket& packet);

    bool Receiving() const { return state_ == State::Receiving; }
    std::size_t Expected() const { return expected_; }
    std::size_t Received() const { return image_.size(); }
    // The bytes of the upload under way or just completed.
    const std::vector<std::uint8_t>& Image() const { return image_; }
    // Bytes of the aborted upload at the last Restarted, or past the length at Oversized.
    std::size_t LostBytes() const { return lost_; }

  private:
    // Idle: nothing yet; Done: an image completed; Past: data went past an upload (or came
    // without one) and is ignored until the next start.
    enum class State { Idle, Receiving, Done, Past };
    UploadEvent Start(const ModulePacket& packet);
    UploadEvent Data(const ModulePacket& packet);

    State state_ = State::Idle;
    std::size_t expected_ = 0;
    std::size_t lost_ = 0;
    std::vector<std::uint8_t> image_;
};

// Writes `image` to `path` under a temporary name and renames it into place, so the file is
// either the whole image or not there. 0, or 1 (cannot write) / 2 (cannot rename) with `error`.
[[nodiscard]] int WriteUploadedImage(const std::string& path,
                                     const std::vector<std::uint8_t>& image, std::string& error);

}  // namespace lane::sim
