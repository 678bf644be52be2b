// The capture writer: the five rotating capture files "c:\FirmwareUpdate\Utility01.Txt" (being
// written) to "Utility05.Txt" (the oldest), the only record of an unattended run.
#pragma once

#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>
#include <string_view>

#include "common/Clock.h"
#include "platform/LanePath.h"

namespace lane::moxtel {

inline constexpr int kCaptureFileCount = 5;
// The files, newest first.
inline constexpr const char* kCaptureFileNames[kCaptureFileCount] = {
    "c:\\FirmwareUpdate\\Utility01.Txt", "c:\\FirmwareUpdate\\Utility02.Txt",
    "c:\\FirmwareUpdate\\Utility03.Txt", "c:\\FirmwareUpdate\\Utility04.Txt",
    "c:\\FirmwareUpdate\\Utility05.Txt"};
// A file is rolled over before the line that finds its counter above this, so each file takes
// one line more than this.
inline constexpr std::uint32_t kCaptureLinesPerFile = 50000;

enum class CaptureState : int {
    Failed = -1,     // a file could not be opened or written: nothing more is written
    Open = 1,        // Utility01 is open
    ToBeOpened = 2,  // the next line moves the older files down and starts a fresh Utility01
    Closed = 3,      // closed at program exit
};

class CCaptureWriter {
  public:
    CCaptureWriter(Clock& clock, const platform::LanePaths& paths) : clock_(clock), paths_(paths) {}
    // Closes the file as at program exit.
    ~CCaptureWriter();
    CCaptureWriter(const CCaptureWriter&) = delete;
    CCaptureWriter& operator=(const CCaptureWriter&) = delete;

    // Appends one finished line and a line end, rolling the set over when the file is full. The
    // line is handed to the system before Write returns, so a killed process keeps it.
    void Write(std::string_view line);
    // Hands what the stream holds to the system, so the file is complete if the process dies.
    void Flush();
    // At program exit: "*** Program closing ***" and the file closed.
    void Close();

    CaptureState State() const;

  private:
    void CloseFull();
    void OpenFresh();
    void MoveOlderFilesDown();
    // "MM/DD/YY : HH:MM:SS : <tick count>".
    std::string Stamp() const;
    void CheckStream();

    Clock& clock_;
    const platform::LanePaths& paths_;
    mutable std::mutex mutex_;
    std::ofstream out_;
    std::uint32_t lineCount_ = kCaptureLinesPerFile + 1;
    CaptureState state_ = CaptureState::ToBeOpened;
};

}  // namespace lane::moxtel
