// Helpers of the module-face tests: a program's handles on the driver stand-in, as the link
// opens and uses them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/RealClock.h"
#include "common/Waitable.h"
#include "platform/DeviceDriver.h"
#include "platform/LanePath.h"
#include "tests/sim/SimTestSupport.h"

namespace lane::sim::test {

inline std::unique_ptr<platform::DeviceHandle> OpenModuleDevice(const platform::LanePaths& paths,
                                                                const std::string& name,
                                                                std::uint32_t access,
                                                                std::uint32_t flags = 0) {
    platform::DeviceOpenMode mode;
    mode.desiredAccess = access;
    mode.shareMode = platform::kDeviceShareRead | platform::kDeviceShareWrite;
    mode.flags = flags;
    std::unique_ptr<platform::DeviceHandle> handle;
    EXPECT_EQ(platform::OpenDevice(paths, name, mode, handle), 0u) << name;
    return handle;
}

// A wire packet with its checksum appended.
inline Bytes WithChecksum(Bytes bytes) {
    unsigned sum = 0;
    for (const std::uint8_t byte : bytes) {
        sum += byte;
    }
    bytes.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    return bytes;
}

// One overlapped control read, as the monitor's remote-monitor read issues it.
class OverlappedRead {
  public:
    OverlappedRead(platform::DeviceHandle& handle, std::uint32_t code, std::size_t size = 64)
        : handle_(handle), buffer_(size), record_(done_) {
        issued_ =
            handle_.IoControlOverlapped(code, nullptr, 0, buffer_.data(), buffer_.size(), record_);
    }
    ~OverlappedRead() {
        // The record must outlive the request: close the handle first if it is still held.
        if (!done_.IsSet()) {
            handle_.Close();
        }
        WaitFor(clock_, done_, kBoundMs);
    }

    std::uint32_t Issued() const { return issued_; }
    bool Finished() const { return done_.IsSet(); }
    // Waits (bounded) for the end; the bytes read, or nothing with `error` set.
    Bytes Result(std::uint32_t* error = nullptr) {
        std::uint32_t status = platform::kDeviceErrorTimeout;
        std::size_t count = 0;
        if (WaitFor(clock_, done_, kBoundMs)) {
            status = handle_.GetOverlappedResult(record_, true, count);
        }
        if (error != nullptr) {
            *error = status;
        }
        return status == 0 ? Bytes(buffer_.begin(), buffer_.begin() + static_cast<long>(count))
                           : Bytes{};
    }

  private:
    platform::DeviceHandle& handle_;
    RealClock clock_;
    ManualResetEvent done_;
    Bytes buffer_;
    platform::DeviceOverlapped record_;
    std::uint32_t issued_ = 0;
};

}  // namespace lane::sim::test
