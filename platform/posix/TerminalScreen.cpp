// The character screen on a POSIX terminal, through ncurses.
#include "platform/TerminalScreen.h"

#include <curses.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

namespace lane::platform {

namespace {

// How long an escape waits for the character that makes it an Alt key.
constexpr int kEscapeDelayMs = 25;
constexpr int kKeyEscapeCode = 27;

attr_t Attributes(unsigned style) {
    attr_t attributes = A_NORMAL;
    if ((style & kStyleReverse) != 0) {
        attributes |= A_REVERSE;
    }
    if ((style & kStyleBold) != 0) {
        attributes |= A_BOLD;
    }
    if ((style & kStyleUnderline) != 0) {
        attributes |= A_UNDERLINE;
    }
    return attributes;
}

int Translate(int code) {
    switch (code) {
        case KEY_RESIZE:
            return kKeyResize;
        case KEY_UP:
            return kKeyUp;
        case KEY_DOWN:
            return kKeyDown;
        case KEY_LEFT:
            return kKeyLeft;
        case KEY_RIGHT:
            return kKeyRight;
        case KEY_ENTER:
        case '\r':
        case '\n':
            return kKeyEnter;
        case '\t':
            return kKeyTab;
        case KEY_BTAB:
            return kKeyBackTab;
        case KEY_BACKSPACE:
        case 127:
        case 8:
            return kKeyBackspace;
        case KEY_F(10):
            return kKeyF10;
        default:
            return code >= 0 && code <= UCHAR_MAX ? code : kKeyNone;
    }
}

class CursesScreen final : public TerminalScreen {
  public:
    explicit CursesScreen(SCREEN* screen) : screen_(screen) {
        set_term(screen_);
        cbreak();  // Ctrl-C still stops the monitor in order
        noecho();
        nonl();
        keypad(stdscr, TRUE);
        set_escdelay(kEscapeDelayMs);
        curs_set(0);
        LastSize(rows_, columns_);
    }
    ~CursesScreen() override {
        endwin();
        delscreen(screen_);
    }
    CursesScreen(const CursesScreen&) = delete;
    CursesScreen& operator=(const CursesScreen&) = delete;

    int Rows() const override { return LINES; }
    int Columns() const override { return COLS; }
    void Clear() override { erase(); }
    void Put(int row, int column, std::string_view text, unsigned style) override {
        if (row < 0 || row >= LINES || column < 0 || column >= COLS) {
            return;
        }
        const int room = COLS - column;
        const int count =
            static_cast<int>(text.size()) < room ? static_cast<int>(text.size()) : room;
        attrset(Attributes(style));
        mvaddnstr(row, column, std::string(text).c_str(), count);
        attrset(A_NORMAL);
    }
    void Show(bool whole) override {
        if (whole) {
            clearok(curscr, TRUE);
        }
        refresh();
    }
    int ReadKey(std::int64_t waitMs) override {
        // The size is asked of the terminal as well: the monitor's signal thread may keep the
        // size-change signal from reaching the library.
        int rows = 0;
        int columns = 0;
        if (LastSize(rows, columns) && (rows != rows_ || columns != columns_)) {
            rows_ = rows;
            columns_ = columns;
            resizeterm(rows, columns);
            return kKeyResize;
        }
        timeout(static_cast<int>(waitMs));
        const int code = getch();
        if (code == ERR) {
            return kKeyNone;
        }
        if (code == kKeyEscapeCode) {
            nodelay(stdscr, TRUE);
            const int next = getch();
            nodelay(stdscr, FALSE);
            if (next == ERR) {
                return kKeyEscape;
            }
            return kKeyAlt + next;
        }
        if (code == KEY_RESIZE) {
            LastSize(rows_, columns_);
        }
        return Translate(code);
    }

  private:
    static bool LastSize(int& rows, int& columns) {
        winsize size{};
        if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_row == 0 ||
            size.ws_col == 0) {
            return false;
        }
        rows = size.ws_row;
        columns = size.ws_col;
        return true;
    }

    SCREEN* screen_;
    int rows_ = 0;
    int columns_ = 0;
};

}  // namespace

bool StandardStreamsAreTerminal() {
    return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1;
}

std::unique_ptr<TerminalScreen> OpenTerminalScreen() {
    SCREEN* screen = newterm(nullptr, stdout, stdin);
    if (screen == nullptr) {
        return nullptr;
    }
    return std::make_unique<CursesScreen>(screen);
}

}  // namespace lane::platform

// ncurses keeps its per-process start-up data (allocated in new_prescr) for the life of the
// process, also after a terminal type it does not know; the leak checker of the sanitizer build
// is told so. Without the sanitizer nothing calls this.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:new_prescr\n";
}
