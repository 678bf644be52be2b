// The scenario lines of lanesim's carousel E-Box ("ebox ...") and UPS ("ups ..."). Internal to
// the parser (Scenario.cpp).
#pragma once

#include "sim/ScenarioText.h"

namespace lane::sim::parse {

// False when the line is neither an "ebox" nor a "ups" line; otherwise `rc` is the result of
// reading it into `scenario.carousel`. They are settings: given outside repeat blocks.
bool ParseCarouselLine(const Tokens& tokens, LineParser& parser, bool inBlock, Scenario& scenario,
                       int& rc);

}  // namespace lane::sim::parse
