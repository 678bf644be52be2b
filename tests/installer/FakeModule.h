// A security module on the device stand-in for the installer's tests: it takes plain writes and
// answers the version and checksum requests on port 6, or keeps silent.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/DeviceDriver.h"

namespace lane::quillan::test {

using Bytes = std::vector<std::uint8_t>;

class FakeModule {
  public:
    // `version` as four digits in the reply ("0447"); `answers` false: writes are taken, reads
    // are held for ever.
    FakeModule(const platform::LanePaths& paths, int version, bool answers = true);
    ~FakeModule();
    FakeModule(const FakeModule&) = delete;
    FakeModule& operator=(const FakeModule&) = delete;

    // Every packet written, in order.
    std::vector<Bytes> Written() const;
    // The handle's open mode.
    platform::DeviceOpenMode Mode() const;
    bool Started() const { return server_ != nullptr; }

  private:
    void Serve();

    std::unique_ptr<platform::DeviceServer> server_;
    const int version_;
    const bool answers_;
    mutable std::mutex mutex_;
    std::vector<Bytes> written_;
    platform::DeviceOpenMode mode_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace lane::quillan::test
