// The firmware upload on lanesim's system port: start, data, completion, and the image file.
#include "sim/ModuleUpload.h"

#include <string>
#include <string_view>

#include "platform/File.h"

namespace lane::sim {

UploadEvent FirmwareUploadCapture::Take(const ModulePacket& packet) {
    if (packet.DA != kModuleSystemPort) {
        return UploadEvent::None;
    }
    if (packet.DC == kModuleStartUpload) {
        return Start(packet);
    }
    if (packet.DC == kModuleUploadData) {
        return Data(packet);
    }
    return UploadEvent::None;
}

UploadEvent FirmwareUploadCapture::Start(const ModulePacket& packet) {
    const auto& data = packet.data;
    if (data.size() != 5 || data[2] != kStartUploadMarker[0] || data[3] != kStartUploadMarker[1] ||
        data[4] != kStartUploadMarker[2]) {
        return UploadEvent::BadStart;
    }
    const bool aborted = state_ == State::Receiving;
    lost_ = aborted ? image_.size() : 0;
    expected_ = (static_cast<std::size_t>(data[0]) << 8) | data[1];
    if (expected_ == 0) {
        expected_ = kFullUploadBytes;
    }
    image_.clear();
    image_.reserve(expected_);
    state_ = State::Receiving;
    return aborted ? UploadEvent::Restarted : UploadEvent::Started;
}

UploadEvent FirmwareUploadCapture::Data(const ModulePacket& packet) {
    if (packet.data.empty()) {
        return UploadEvent::None;
    }
    if (state_ == State::Idle) {
        state_ = State::Past;
        return UploadEvent::Stray;
    }
    if (state_ == State::Past) {
        return UploadEvent::None;
    }
    if (state_ == State::Done) {
        // More data after the whole image had come: the module would have refused it.
        lost_ = packet.data.size();
        state_ = State::Past;
        return UploadEvent::Oversized;
    }
    const std::size_t left = expected_ - image_.size();
    if (packet.data.size() > left) {
        // The module refuses an image longer than announced: this upload is lost.
        lost_ = packet.data.size() - left;
        state_ = State::Past;
        return UploadEvent::Oversized;
    }
    for (const std::uint8_t byte : packet.data) {
        image_.push_back(byte);
    }
    if (image_.size() < expected_) {
        return UploadEvent::None;
    }
    state_ = State::Done;
    return UploadEvent::Completed;
}

int WriteUploadedImage(const std::string& path, const std::vector<std::uint8_t>& image,
                       std::string& error) {
    const std::uint32_t result = platform::WriteWholeFile(
        path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
    if (result != 0) {
        error = "cannot write " + path + " (system error " + std::to_string(result) + ")";
        return 1;
    }
    return 0;
}

}  // namespace lane::sim
