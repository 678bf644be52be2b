// The message-box stand-in.
#pragma once

#include <functional>
#include <string>

#include "common/Clock.h"

namespace lane::platform {

enum class MessageIcon { Information, Warning, Error };

class MessageBoxService {
  public:
    virtual ~MessageBoxService() = default;
    // Shows `text` with `caption` and returns once the user has acknowledged it.
    virtual void Show(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};

// Without a terminal user interface: writes the box to standard error and the system log, as one
// line "program: caption: text" (the caption left out when it is the program's name, line ends
// of the text made blanks); then waits for a key when standard input is a terminal, otherwise
// pauses `pauseMs` on the clock.
class ConsoleMessageBox final : public MessageBoxService {
  public:
    // Where the box's line goes and whether a key can be waited for; by default standard error
    // and whether standard input is a terminal. Tests pass their own.
    struct Console {
        std::function<void(const std::string& line)> writeLine;
        std::function<bool()> inputIsTerminal;
    };

    ConsoleMessageBox(Clock& clock, std::string program, int pauseMs = 2000, Console console = {})
        : clock_(clock),
          program_(std::move(program)),
          pauseMs_(pauseMs),
          console_(std::move(console)) {}
    void Show(const std::string& text, const std::string& caption, MessageIcon icon) override;

  private:
    std::string Line(const std::string& text, const std::string& caption) const;

    Clock& clock_;
    std::string program_;
    int pauseMs_;
    Console console_;
};

}  // namespace lane::platform
