// The console on POSIX: stdout for text, a raw terminal or plain bytes of stdin for keys.
#include "platform/Console.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace lane::platform {

namespace {

class StandardConsole final : public Console {
  public:
    StandardConsole() : terminal_(::isatty(STDIN_FILENO) == 1) {}
    ~StandardConsole() override {
        if (rawMode_) {
            (void)::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
        }
    }
    StandardConsole(const StandardConsole&) = delete;
    StandardConsole& operator=(const StandardConsole&) = delete;

    void Write(std::string_view text) override {
        if (!text.empty()) {
            std::fwrite(text.data(), 1, text.size(), stdout);
        }
        std::fflush(stdout);
    }

    int GetKey() override {
        if (ended_) {
            return kConsoleExitKey;
        }
        EnterRawMode();
        unsigned char key = 0;
        ssize_t got = -1;
        do {
            got = ::read(STDIN_FILENO, &key, 1);
        } while (got < 0 && errno == EINTR);
        if (got != 1) {
            ended_ = true;  // end of input, or input that cannot be read any more
            return kConsoleExitKey;
        }
        return key;
    }

    bool KeyWaiting() override {
        if (ended_) {
            return true;
        }
        EnterRawMode();
        pollfd ready{STDIN_FILENO, POLLIN, 0};
        int polled = -1;
        do {
            polled = ::poll(&ready, 1, 0);
        } while (polled < 0 && errno == EINTR);
        if (polled < 0 || (ready.revents & POLLNVAL) != 0) {
            ended_ = true;
            return true;
        }
        return polled > 0;  // a key, or the end of input (which the read then reports)
    }

    void FlushKeys() override {
        if (terminal_) {
            (void)::tcflush(STDIN_FILENO, TCIFLUSH);
        }
    }

    bool InputEnded() const override { return ended_; }

  private:
    // On a terminal keys come one at a time without echo from the first key read on; signals
    // (Ctrl+C) keep working. The terminal's mode is restored when the console goes.
    void EnterRawMode() {
        if (!terminal_ || rawMode_ || ::tcgetattr(STDIN_FILENO, &saved_) != 0) {
            return;
        }
        termios keyMode = saved_;
        keyMode.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        keyMode.c_cc[VMIN] = 1;
        keyMode.c_cc[VTIME] = 0;
        rawMode_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &keyMode) == 0;
    }

    const bool terminal_;
    bool rawMode_ = false;
    bool ended_ = false;
    termios saved_{};
};

}  // namespace

std::unique_ptr<Console> MakeStandardConsole() {
    return std::make_unique<StandardConsole>();
}

}  // namespace lane::platform
