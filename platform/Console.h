// The console stand-in: text out (printf) and unbuffered keys in (_getch, _kbhit, flushing).
#pragma once

#include <memory>
#include <string_view>

namespace lane::platform {

// What a key read gives once standard input has ended: the exit key of every service menu, so a
// menu driven by a script that runs out leaves instead of asking again and again.
inline constexpr int kConsoleExitKey = 'X';

class Console {
  public:
    virtual ~Console() = default;

    // Writes `text` as given and makes it visible at once (a prompt without a line end too).
    virtual void Write(std::string_view text) = 0;

    // _getch: waits for one key and gives it, without echo and without waiting for Enter.
    // Once input has ended every call gives kConsoleExitKey at once.
    [[nodiscard]] virtual int GetKey() = 0;

    // _kbhit: true when a key can be read without waiting (also once input has ended, so a loop
    // that polls for a key always gets one).
    [[nodiscard]] virtual bool KeyWaiting() = 0;

    // Discards the keys typed ahead on a terminal. Scripted input is never discarded: a script
    // cannot know when the program would discard, so its keys are all kept for the reads.
    virtual void FlushKeys() = 0;

    // True once a read found the end of standard input. Loops that leave on a key other than
    // kConsoleExitKey (ESC) test this as well.
    [[nodiscard]] virtual bool InputEnded() const = 0;
};

// Standard output, and standard input: raw terminal input (no echo, no line editing) while the
// object lives when it is a terminal; plain bytes, each one a key, otherwise.
std::unique_ptr<Console> MakeStandardConsole();

}  // namespace lane::platform
