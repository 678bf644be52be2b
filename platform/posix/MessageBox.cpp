// The console message box: standard error and the system log, then a key or a pause.
#include "platform/MessageBox.h"

#include <syslog.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace lane::platform {

namespace {

int SyslogPriority(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return LOG_INFO;
        case MessageIcon::Warning:
            return LOG_WARNING;
        case MessageIcon::Error:
            return LOG_ERR;
    }
    return LOG_WARNING;
}

// Waits for one key on the terminal, without echo and without waiting for Enter.
void WaitForKey() {
    termios saved{};
    const bool raw = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (raw) {
        termios keyMode = saved;
        keyMode.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        keyMode.c_cc[VMIN] = 1;
        keyMode.c_cc[VTIME] = 0;
        (void)::tcsetattr(STDIN_FILENO, TCSANOW, &keyMode);
    }
    char key = 0;
    while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
    if (raw) {
        (void)::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    }
}

}  // namespace

void ConsoleMessageBox::Show(const std::string& text, const std::string& caption,
                             MessageIcon icon) {
    const std::string line = program_ + ": " + caption + ": " + text;
    if (console_.writeLine) {
        console_.writeLine(line);
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    }
    ::openlog(program_.c_str(), LOG_PID, LOG_USER);
    ::syslog(SyslogPriority(icon), "%s: %s", caption.c_str(), text.c_str());
    ::closelog();
    const bool terminal =
        console_.inputIsTerminal ? console_.inputIsTerminal() : ::isatty(STDIN_FILENO) == 1;
    if (terminal) {
        WaitForKey();
        return;
    }
    clock_.SleepMs(pauseMs_);
}

}  // namespace lane::platform
