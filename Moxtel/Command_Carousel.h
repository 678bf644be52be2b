// Command_Carousel: the carousel scale's E-Box on port 4. The carousel menu and its items (the
// service menus call them), the rounding exchange, and the unattended command EBoxRound02. The
// items expect port 4 open and give 0, or non-zero after showing why they ended.
#pragma once

#include <optional>

#include "Moxtel/CarouselPorts.h"
#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// The module version the carousel needs on the USB security module.
inline constexpr unsigned kCarouselModuleVersion = 429;
// Above this version the factory defaults offer the module's own E-Box defaults.
inline constexpr unsigned kQuarnelDefaultsAbove = 448;
// The calibration weight range, in pounds.
inline constexpr double kLowestCalibrationWeight = 40.0;
inline constexpr double kHighestCalibrationWeight = 100.0;

// The carousel menu: polling off, port 4 opened and flushed, the items until X, then the E-Box
// reset, port 4 closed and polling on again.
void CarouselMenu(UtilityRun& run);

// The items, by their menu keys 1 to 8 (without the key wait that follows them in the menu).
[[nodiscard]] int CarouselConfigOptions(CCarouselPorts& ports);
[[nodiscard]] int ResetCarouselEBox(CCarouselPorts& ports);
[[nodiscard]] int ZeroCarouselScale(CCarouselPorts& ports);
[[nodiscard]] int SetEBoxFactoryDefaults(CCarouselPorts& ports);
[[nodiscard]] int CalibrateCarouselScale(CCarouselPorts& ports);
[[nodiscard]] int SetFilterMode(CCarouselPorts& ports);
[[nodiscard]] int SetWeightRounding(CCarouselPorts& ports);
[[nodiscard]] int DisplayWeight(CCarouselPorts& ports);

// The rounding exchange: the options read, the rounding code put in (asked at the keyboard when
// `code` is empty; given, it also sets zero tracking '2' and filter mode '6'), the options
// written back and read again to check.
[[nodiscard]] int RoundingExchange(CCarouselPorts& ports, std::optional<char> code);

// EBoxRound02: the carousel scale's rounding set to .02 unattended.
[[nodiscard]] int Command_EBoxRound02(UtilityRun& run);

}  // namespace lane::moxtel
