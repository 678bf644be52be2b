// Helpers of the module-face tests: a program's handles on the driver stand-in, as the link
// opens and uses them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/FakeClock.h"
#include "common/RealClock.h"
#include "common/Waitable.h"
#include "platform/DeviceDriver.h"
#include "platform/LanePath.h"
#include "sim/ModuleFace.h"
#include "sim/Record.h"
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

// A module face on a fresh lane root with its record, and the program's side of both devices.
class ModuleFaceHarness : public ::testing::Test {
  protected:
    ModuleFaceHarness() : paths_(root_.Path()) {
        EXPECT_EQ(record_.Open(root_.File("record.txt")), 0);
    }

    void Serve(const ModuleIdentity& identity = ModuleIdentity{},
               const ModuleFaceSetup& setup = ModuleFaceSetup{}) {
        std::unique_ptr<platform::DeviceServer> usb;
        std::unique_ptr<platform::DeviceServer> board;
        ASSERT_EQ(platform::ListenDevice(paths_, kModuleUsbDeviceName, usb), 0u);
        ASSERT_EQ(platform::ListenDevice(paths_, kModuleBoardDeviceName, board), 0u);
        face_ = std::make_unique<ModuleFace>(std::move(usb), std::move(board), record_, identity,
                                             setup);
    }

    std::unique_ptr<platform::DeviceHandle> OpenBoard() {
        platform::DeviceOpenMode mode;
        mode.desiredAccess = platform::kDeviceGenericRead | platform::kDeviceGenericWrite;
        std::unique_ptr<platform::DeviceHandle> board;
        EXPECT_EQ(platform::OpenDevice(paths_, "\\\\.\\TMCB", mode, board), 0u);
        return board;
    }

    // A packet as the utility writes it to the system port: control code, packet in the output
    // buffer.
    void WriteSystemPort(platform::DeviceHandle& handle, Bytes packet) {
        std::size_t returned = 0;
        ASSERT_EQ(handle.IoControl(kIoctlUsbWriteSystemPort, nullptr, 0, packet.data(),
                                   packet.size(), returned),
                  0u);
    }

    void Write(platform::DeviceHandle& handle, const Bytes& bytes) {
        std::size_t written = 0;
        ASSERT_EQ(handle.WriteFile(bytes.data(), bytes.size(), written), 0u);
        EXPECT_EQ(written, bytes.size());
    }

    // The board's packet write and read, in its form without checksum.
    void BoardWrite(platform::DeviceHandle& board, const Bytes& packet) {
        std::size_t returned = 0;
        ASSERT_EQ(board.IoControl(kIoctlBoardWritePacket, packet.data(), packet.size(), nullptr, 0,
                                  returned),
                  0u);
    }
    Bytes BoardRead(platform::DeviceHandle& board) {
        std::uint8_t buffer[255] = {};
        std::size_t returned = 0;
        EXPECT_EQ(
            board.IoControl(kIoctlBoardReadPacket, nullptr, 0, buffer, sizeof buffer, returned),
            0u);
        return Bytes(buffer, buffer + returned);
    }
    Bytes SerialRead(platform::DeviceHandle& reader) {
        std::uint8_t buffer[64] = {};
        std::size_t count = 0;
        EXPECT_EQ(reader.ReadFile(buffer, sizeof buffer, count), 0u);
        return Bytes(buffer, buffer + count);
    }

    std::string RecordText() { return ReadText(root_.File("record.txt")); }

    TemporaryRoot root_;
    platform::LanePaths paths_;
    RecordWriter record_;
    FakeClock clock_;  // before the face, whose late answers wait on it
    ManualResetEvent stop_;
    std::unique_ptr<ModuleFace> face_;
};

}  // namespace lane::sim::test
