// How one program's link is set up (monitor or utility, board type) and where it reports.
#pragma once

#include <string>

namespace lane::link {

// The monitor serves the remote-monitor port 7 only; the utility serves the system port, the
// serial ports and the interface board.
enum class LinkRole { Monitor, Utility };

// Board types of the utility's configuration ("SecurityModuleType").
inline constexpr int kBoardTypeTmcb = 100;
inline constexpr int kBoardTypeUsb = 200;

inline constexpr const char* kUsbDeviceName = "\\\\.\\SecModuleDevice0";
inline constexpr const char* kTmcbDeviceName = "\\\\.\\TMCB";

struct LinkConfig {
    LinkRole role = LinkRole::Utility;
    int boardType = kBoardTypeUsb;  // the utility's board; the monitor always talks USB
    int scaleType = 0;              // the utility's scale type: port 1's INIT_PORT parameters
};

// Report levels, as the utility's log numbers them.
inline constexpr int kLinkError = 0;
inline constexpr int kLinkWarning = 1;
inline constexpr int kLinkInformation = 2;
inline constexpr int kLinkDetail = 3;

// Where the link's messages go: the monitor's trace (every message, as a plain line) or the
// utility's log (category 5, by level).
class LinkReporter {
  public:
    virtual ~LinkReporter() = default;
    // `module` is the source module that reports ("USB_Standalone"); `console` asks for the
    // utility's console echo (every error asks for it).
    virtual void Report(const char* module, int level, bool console, const std::string& text) = 0;
};

}  // namespace lane::link
