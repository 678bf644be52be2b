// A Unix datagram socket that collects what others send to it: the stand-in for a log daemon or
// a service manager in tests.
#pragma once

#include <cstdint>
#include <string>

namespace lane::platform {

class DatagramListener {
  public:
    DatagramListener() = default;
    // Closes the socket and removes its file.
    ~DatagramListener();
    DatagramListener(const DatagramListener&) = delete;
    DatagramListener& operator=(const DatagramListener&) = delete;

    // Binds a datagram socket at `path` (a file that must not exist yet). Returns 0, or the
    // Windows error (87 when the path is too long for a socket address).
    [[nodiscard]] std::uint32_t Open(const std::string& path);

    // Waits at most `timeoutMs` for the next datagram and hands it out whole. Returns 0;
    // 1460 (timeout) when none came in time; 6 when the socket is not open.
    [[nodiscard]] std::uint32_t Receive(std::string& datagram, std::int64_t timeoutMs);

  private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace lane::platform
