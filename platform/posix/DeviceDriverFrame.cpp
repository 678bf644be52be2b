// Frames of the device protocol: encoding, checked decoding and an incremental frame reader.
#include "platform/posix/DeviceDriverFrame.h"

#include <algorithm>
#include <cstring>

namespace lane::platform::device {

namespace {

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// Reads the body field by field; every read checks what is left first.
class BodyCursor {
  public:
    BodyCursor(const std::uint8_t* body, std::size_t size) : body_(body), size_(size) {}

    bool U8(std::uint8_t& value) {
        if (Left() < 1) {
            return false;
        }
        value = body_[at_++];
        return true;
    }
    bool U32(std::uint32_t& value) {
        if (Left() < 4) {
            return false;
        }
        value = 0;
        for (int i = 3; i >= 0; --i) {
            value = (value << 8) | body_[at_ + static_cast<std::size_t>(i)];
        }
        at_ += 4;
        return true;
    }
    bool Bytes(std::size_t count, std::vector<std::uint8_t>& out) {
        if (count > kDeviceMaxTransferBytes || Left() < count) {
            return false;
        }
        out.assign(body_ + at_, body_ + at_ + count);
        at_ += count;
        return true;
    }
    std::size_t Left() const { return size_ - at_; }

  private:
    const std::uint8_t* body_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::vector<std::uint8_t> WithHeader(std::vector<std::uint8_t> body) {
    std::vector<std::uint8_t> frame;
    frame.reserve(kFrameHeaderBytes + body.size());
    PutU32(frame, static_cast<std::uint32_t>(body.size()));
    frame.insert(frame.end(), body.begin(), body.end());
    return frame;
}

bool DecodeRequestFields(BodyCursor& cursor, DeviceRequest& request) {
    switch (request.kind) {
        case DeviceRequestKind::Hello:
            return cursor.U32(request.version) && cursor.U32(request.mode.desiredAccess) &&
                   cursor.U32(request.mode.shareMode) && cursor.U32(request.mode.flags);
        case DeviceRequestKind::Control: {
            std::uint32_t inputSize = 0;
            return cursor.U32(request.controlCode) && cursor.U32(inputSize) &&
                   cursor.U32(request.outputSize) &&
                   request.outputSize <= kDeviceMaxTransferBytes &&
                   cursor.Bytes(inputSize, request.input) &&
                   cursor.Bytes(request.outputSize, request.output);
        }
        case DeviceRequestKind::Write:
            return cursor.Bytes(cursor.Left(), request.input);
        case DeviceRequestKind::Read:
            return cursor.U32(request.outputSize) && request.outputSize <= kDeviceMaxTransferBytes;
        case DeviceRequestKind::Close:
            return true;
    }
    return false;
}

}  // namespace

std::vector<std::uint8_t> EncodeRequest(const DeviceRequest& request) {
    std::vector<std::uint8_t> body;
    body.push_back(static_cast<std::uint8_t>(request.kind));
    PutU32(body, request.id);
    switch (request.kind) {
        case DeviceRequestKind::Hello:
            PutU32(body, request.version);
            PutU32(body, request.mode.desiredAccess);
            PutU32(body, request.mode.shareMode);
            PutU32(body, request.mode.flags);
            break;
        case DeviceRequestKind::Control:
            PutU32(body, request.controlCode);
            PutU32(body, static_cast<std::uint32_t>(request.input.size()));
            PutU32(body, static_cast<std::uint32_t>(request.output.size()));
            body.insert(body.end(), request.input.begin(), request.input.end());
            body.insert(body.end(), request.output.begin(), request.output.end());
            break;
        case DeviceRequestKind::Write:
            body.insert(body.end(), request.input.begin(), request.input.end());
            break;
        case DeviceRequestKind::Read:
            PutU32(body, request.outputSize);
            break;
        case DeviceRequestKind::Close:
            break;
    }
    return WithHeader(std::move(body));
}

std::vector<std::uint8_t> EncodeReply(const DeviceReply& reply) {
    std::vector<std::uint8_t> body;
    PutU32(body, reply.id);
    PutU32(body, reply.status);
    PutU32(body, reply.written);
    body.insert(body.end(), reply.data.begin(), reply.data.end());
    return WithHeader(std::move(body));
}

bool DecodeRequest(const std::uint8_t* body, std::size_t size, DeviceRequest& request) {
    request = DeviceRequest{};
    BodyCursor cursor(body, size);
    std::uint8_t kind = 0;
    if (!cursor.U8(kind) || kind < static_cast<std::uint8_t>(DeviceRequestKind::Hello) ||
        kind > static_cast<std::uint8_t>(DeviceRequestKind::Close)) {
        return false;
    }
    request.kind = static_cast<DeviceRequestKind>(kind);
    return cursor.U32(request.id) && DecodeRequestFields(cursor, request) && cursor.Left() == 0;
}

bool DecodeReply(const std::uint8_t* body, std::size_t size, DeviceReply& reply) {
    reply = DeviceReply{};
    BodyCursor cursor(body, size);
    return cursor.U32(reply.id) && cursor.U32(reply.status) && cursor.U32(reply.written) &&
           cursor.Bytes(cursor.Left(), reply.data);
}

void FrameReader::StartNextFrameIfDone() {
    if (!done_) {
        return;
    }
    done_ = false;
    inBody_ = false;
    headerHave_ = 0;
    bodyHave_ = 0;
    body_.clear();
}

std::uint8_t* FrameReader::Space() {
    StartNextFrameIfDone();
    if (bad_) {
        return header_;
    }
    return inBody_ ? body_.data() + bodyHave_ : header_ + headerHave_;
}

std::size_t FrameReader::Needed() const {
    if (bad_) {
        return 1;
    }
    if (done_) {
        return kFrameHeaderBytes;
    }
    return inBody_ ? body_.size() - bodyHave_ : kFrameHeaderBytes - headerHave_;
}

FrameReader::Result FrameReader::Commit(std::size_t count) {
    StartNextFrameIfDone();
    if (bad_ || count > Needed()) {
        bad_ = true;
        return Result::Bad;
    }
    if (inBody_) {
        bodyHave_ += count;
    } else {
        headerHave_ += count;
        if (headerHave_ < kFrameHeaderBytes) {
            return Result::NeedMore;
        }
        const std::uint32_t length = static_cast<std::uint32_t>(header_[0]) |
                                     static_cast<std::uint32_t>(header_[1]) << 8 |
                                     static_cast<std::uint32_t>(header_[2]) << 16 |
                                     static_cast<std::uint32_t>(header_[3]) << 24;
        if (length == 0 || length > maxBody_) {
            bad_ = true;
            return Result::Bad;
        }
        inBody_ = true;
        body_.assign(length, 0);
        bodyHave_ = 0;
        return Result::NeedMore;
    }
    if (bodyHave_ < body_.size()) {
        return Result::NeedMore;
    }
    done_ = true;
    return Result::Frame;
}

FrameReader::Result FrameReader::Feed(const std::uint8_t* bytes, std::size_t count,
                                      std::size_t& used) {
    used = 0;
    Result result = Result::NeedMore;
    while (used < count && result == Result::NeedMore) {
        const std::size_t take = std::min(Needed(), count - used);
        std::memcpy(Space(), bytes + used, take);
        used += take;
        result = Commit(take);
    }
    return result;
}

}  // namespace lane::platform::device
