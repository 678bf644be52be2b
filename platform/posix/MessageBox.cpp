// The console message box: standard error and the system log, then a key or a pause.
#include "platform/MessageBox.h"

#include <syslog.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
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

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// The box's text for a line of the console: the system's texts end in "\r\n", which a terminal
// would show as a stray carriage return; line ends inside become blanks. The text's own blanks
// stay as they are.
std::string OneLine(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n')) {
        --end;
    }
    std::string line;
    line.reserve(end);
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '\r') {
            continue;
        }
        line += text[i] == '\n' ? ' ' : text[i];
    }
    return line;
}

}  // namespace

std::string ConsoleMessageBox::Line(const std::string& text, const std::string& caption) const {
    // A caption that only repeats the program's name is said once.
    if (caption.empty() || SameIgnoringCase(caption, program_)) {
        return program_ + ": " + OneLine(text);
    }
    return program_ + ": " + caption + ": " + OneLine(text);
}

void ConsoleMessageBox::Show(const std::string& text, const std::string& caption,
                             MessageIcon icon) {
    const std::string line = Line(text, caption);
    if (console_.writeLine) {
        console_.writeLine(line);
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    }
    ::openlog(program_.c_str(), LOG_PID, LOG_USER);
    ::syslog(SyslogPriority(icon), "%s: %s", caption.c_str(), OneLine(text).c_str());
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
