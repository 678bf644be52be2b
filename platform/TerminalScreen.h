// The character screen of the monitor's window on a terminal: text at a row and column, keys
// in, and the terminal's size.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace lane::platform {

// Keys besides plain characters (which are their own code; Ctrl-R is 0x12).
inline constexpr int kKeyNone = -1;  // no key before the timeout
inline constexpr int kKeyResize = 0x1000;
inline constexpr int kKeyUp = 0x1001;
inline constexpr int kKeyDown = 0x1002;
inline constexpr int kKeyLeft = 0x1003;
inline constexpr int kKeyRight = 0x1004;
inline constexpr int kKeyEnter = 0x1005;
inline constexpr int kKeyEscape = 0x1006;
inline constexpr int kKeyTab = 0x1007;
inline constexpr int kKeyBackTab = 0x1008;
inline constexpr int kKeyBackspace = 0x1009;
inline constexpr int kKeyF10 = 0x100A;
// Alt together with a character: kKeyAlt + the character.
inline constexpr int kKeyAlt = 0x10000;

// Text styles, combined as bits.
inline constexpr unsigned kStyleNormal = 0;
inline constexpr unsigned kStyleReverse = 1;
inline constexpr unsigned kStyleBold = 2;
inline constexpr unsigned kStyleUnderline = 4;

class TerminalScreen {
  public:
    virtual ~TerminalScreen() = default;

    virtual int Rows() const = 0;
    virtual int Columns() const = 0;
    // Starts a new picture: every cell blank.
    virtual void Clear() = 0;
    // Text at a row and column, cut at the right edge; rows and columns outside are ignored.
    virtual void Put(int row, int column, std::string_view text, unsigned style) = 0;
    // Shows the picture drawn since Clear, sending only what changed, or with `whole` the whole
    // screen again.
    virtual void Show(bool whole) = 0;
    // The next key, waiting at most `waitMs`; kKeyNone when none came, kKeyResize when the
    // terminal's size changed.
    [[nodiscard]] virtual int ReadKey(std::int64_t waitMs) = 0;
};

// True when standard input and standard output are both a terminal.
bool StandardStreamsAreTerminal();

// Takes over the terminal on standard input and output (its own keys, no echo, no cursor) until
// the object goes away, which gives the terminal back as it was. Null when the terminal cannot
// be used (an unknown terminal type).
std::unique_ptr<TerminalScreen> OpenTerminalScreen();

}  // namespace lane::platform
