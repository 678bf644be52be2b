// Frames of the device protocol: encoding, checked decoding and an incremental frame reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/DeviceDriver.h"

namespace lane::platform::device {

inline constexpr std::uint32_t kProtocolVersion = 1;
inline constexpr std::size_t kFrameHeaderBytes = 4;  // body length, little-endian
// Request body: kind, id, then at most a control request's code, input length, output size,
// input bytes and output bytes.
inline constexpr std::size_t kMaxRequestBody = 1 + 4 + 12 + 2 * kDeviceMaxTransferBytes;
// Reply body: id, status, count written, then at most one transfer's bytes.
inline constexpr std::size_t kMaxReplyBody = 12 + kDeviceMaxTransferBytes;

struct DeviceReply {
    std::uint32_t id = 0;
    std::uint32_t status = 0;
    std::uint32_t written = 0;  // a write's count taken; 0 for every other request
    std::vector<std::uint8_t> data;
};

// Whole frames (header and body), ready to send. The request's and reply's buffers must respect
// kDeviceMaxTransferBytes; the encoders do not check it (the senders do).
std::vector<std::uint8_t> EncodeRequest(const DeviceRequest& request);
std::vector<std::uint8_t> EncodeReply(const DeviceReply& reply);

// Decode one frame body. False for anything malformed: unknown kind, sizes over the limits,
// a body shorter or longer than its fields say.
[[nodiscard]] bool DecodeRequest(const std::uint8_t* body, std::size_t size,
                                 DeviceRequest& request);
[[nodiscard]] bool DecodeReply(const std::uint8_t* body, std::size_t size, DeviceReply& reply);

// Cuts a byte stream into frame bodies. It asks for exactly the bytes the current frame still
// needs, so it never holds more than one frame, and refuses a length over `maxBody` before
// anything is allocated for it.
class FrameReader {
  public:
    explicit FrameReader(std::size_t maxBody) : maxBody_(maxBody) {}

    enum class Result { NeedMore, Frame, Bad };

    // Where the next received bytes go, and how many the current frame still needs (never 0).
    std::uint8_t* Space();
    std::size_t Needed() const;
    // Takes `count` (at most Needed()) bytes written at Space(). Frame: Body() holds the body
    // until the next Space(). Bad: the stream cannot be trusted any further.
    Result Commit(std::size_t count);
    // Copies from `bytes` what the current frame needs; `used` tells how many were taken.
    Result Feed(const std::uint8_t* bytes, std::size_t count, std::size_t& used);
    const std::vector<std::uint8_t>& Body() const { return body_; }

  private:
    void StartNextFrameIfDone();

    const std::size_t maxBody_;
    std::uint8_t header_[kFrameHeaderBytes] = {};
    std::size_t headerHave_ = 0;
    bool inBody_ = false;
    bool done_ = false;
    bool bad_ = false;
    std::vector<std::uint8_t> body_;
    std::size_t bodyHave_ = 0;
};

}  // namespace lane::platform::device
