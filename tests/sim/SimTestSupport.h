// Helpers of the lanesim tests: a fresh lane root and a monitor-side pipe reader.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/RealClock.h"
#include "common/Waitable.h"
#include "platform/NamedPipe.h"

namespace lane::sim::test {

using Bytes = std::vector<std::uint8_t>;

// Bound of every real-time wait for something that must happen.
inline constexpr std::int64_t kBoundMs = 5000;

// A lane root of its own under the temporary folder, removed afterwards.
class TemporaryRoot {
  public:
    TemporaryRoot()
        : path_(std::filesystem::temp_directory_path() /
                ("lanesim-test-" + std::to_string(std::random_device{}()))) {
        std::filesystem::create_directories(path_);
    }
    ~TemporaryRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::string Path() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Reads the pipe as the monitor does: overlapped reads of up to 100 bytes.
class MonitorEnd {
  public:
    explicit MonitorEnd(platform::PipeClient& client) : client_(client) {}

    // Reads until `count` bytes have come. False when the pipe failed (see Error()) or nothing
    // came within the bound.
    bool Read(std::size_t count, Bytes& bytes) {
        while (bytes.size() < count) {
            std::size_t n = 0;
            if (!pending_) {
                const auto status =
                    client_.ReadOverlapped(buffer_.data(), buffer_.size(), done_, n, error_);
                if (status == platform::PipeClient::ReadStatus::Failed) {
                    return false;
                }
                if (status == platform::PipeClient::ReadStatus::Completed) {
                    bytes.insert(bytes.end(), buffer_.begin(), buffer_.begin() + n);
                    continue;
                }
                pending_ = true;
            }
            if (!WaitFor(clock_, done_, kBoundMs)) {
                return false;
            }
            pending_ = false;
            if (!client_.GetOverlappedResult(n, error_)) {
                return false;
            }
            bytes.insert(bytes.end(), buffer_.begin(), buffer_.begin() + n);
        }
        return true;
    }

    Bytes Read(std::size_t count) {
        Bytes bytes;
        Read(count, bytes);
        return bytes;
    }

    // True when no byte is waiting: a read started now stays pending.
    bool NothingWaiting() {
        if (pending_) {
            return !done_.IsSet();
        }
        std::size_t n = 0;
        if (client_.ReadOverlapped(buffer_.data(), buffer_.size(), done_, n, error_) !=
            platform::PipeClient::ReadStatus::Pending) {
            return false;
        }
        pending_ = true;
        return true;
    }

    // Reads until the pipe fails; the error it failed with (0 when it did not fail in time).
    std::uint32_t ReadUntilFailure() {
        Bytes ignored;
        while (Read(ignored.size() + 1, ignored)) {
        }
        return pending_ ? 0 : error_;
    }

    void Write(const Bytes& bytes) {
        std::uint32_t error = 0;
        EXPECT_TRUE(client_.Write(bytes.data(), bytes.size(), error)) << error;
    }

    std::uint32_t Error() const { return error_; }

  private:
    platform::PipeClient& client_;
    RealClock clock_;
    ManualResetEvent done_;
    std::array<std::uint8_t, 100> buffer_{};
    bool pending_ = false;
    std::uint32_t error_ = 0;
};

}  // namespace lane::sim::test
