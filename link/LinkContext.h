// What the link's modules share: configuration, codes, reporter, clock and paths; the formatted
// report helper; and the dispatcher's packet builder that the transports call back.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/Clock.h"
#include "link/LinkCodes.h"
#include "link/LinkConfig.h"
#include "platform/LanePath.h"

namespace lane::link {

struct LinkContext {
    const LinkConfig& config;
    const LinkCodes& codes;
    LinkReporter& reporter;
    Clock& clock;
    const platform::LanePaths& paths;

    bool IsMonitor() const { return config.role == LinkRole::Monitor; }
};

// FormatAndSendDataToSecurityModule, which the transports' close sequences use.
class LinkSender {
  public:
    virtual ~LinkSender() = default;
    [[nodiscard]] virtual int FormatAndSendDataToSecurityModule(std::uint8_t port,
                                                                std::uint8_t command,
                                                                std::string_view text) = 0;
};

// printf-style reports of one source module.
class CLinkLog {
  public:
    CLinkLog(LinkReporter& reporter, const char* module) : reporter_(reporter), module_(module) {}

    // Errors always ask for the console.
    [[gnu::format(printf, 2, 3)]] void Error(const char* format, ...) const;
    [[gnu::format(printf, 2, 3)]] void Warning(const char* format, ...) const;
    [[gnu::format(printf, 2, 3)]] void Information(const char* format, ...) const;
    [[gnu::format(printf, 2, 3)]] void Detail(const char* format, ...) const;
    // Detail with the console echo.
    [[gnu::format(printf, 2, 3)]] void DetailConsole(const char* format, ...) const;

  private:
    void Emit(int level, bool console, const char* format, std::va_list arguments) const;

    LinkReporter& reporter_;
    const char* module_;
};

}  // namespace lane::link
