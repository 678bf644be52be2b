// The local date and time as the device commands show and send them: "MM/DD/YY", "HH:MM:SS".
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

#include "common/Clock.h"
#include "common/TimeText.h"

namespace lane::moxtel {

inline std::string LocalDateText(const Clock& clock) {
    const std::tm local = LocalTm(clock.Now().seconds);
    char text[16];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d", (local.tm_mon + 1) % 100,
                  local.tm_mday % 100, local.tm_year % 100);
    return text;
}

inline std::string LocalTimeText(const Clock& clock) {
    const std::tm local = LocalTm(clock.Now().seconds);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour % 100, local.tm_min % 100,
                  local.tm_sec % 100);
    return text;
}

}  // namespace lane::moxtel
