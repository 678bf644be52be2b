// The capture writer: rotation of the capture files, headers, trailers and the lines between.
#include "Moxtel/CaptureWriter.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "common/TimeText.h"

namespace lane::moxtel {

CCaptureWriter::~CCaptureWriter() {
    Close();
}

CaptureState CCaptureWriter::State() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

std::string CCaptureWriter::Stamp() const {
    const WallTime now = clock_.Now();
    const std::tm local = LocalTm(now.seconds);
    char text[80];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d : %02d:%02d:%02d : %u", local.tm_mon + 1,
                  local.tm_mday, local.tm_year % 100, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<std::uint32_t>(clock_.TickMs()));
    return text;
}

void CCaptureWriter::CheckStream() {
    if (!out_) {
        state_ = CaptureState::Failed;
        out_.close();
    }
}

void CCaptureWriter::CloseFull() {
    out_ << "\n*** Continued in next capture file ***\n\n"
         << " Current Date / Time : " << Stamp() << "\n\n";
    out_.close();
    state_ = out_ ? CaptureState::ToBeOpened : CaptureState::Failed;
}

void CCaptureWriter::MoveOlderFilesDown() {
    for (int target = kCaptureFileCount - 1; target > 0; --target) {
        std::error_code ignored;  // a missing source is no fault: the set is not full yet
        std::filesystem::rename(paths_.Map(kCaptureFileNames[target - 1]),
                                paths_.Map(kCaptureFileNames[target]), ignored);
    }
}

void CCaptureWriter::OpenFresh() {
    MoveOlderFilesDown();
    const std::string first = paths_.Map(kCaptureFileNames[0]);
    // The file is written anew: a link still in its place (the move failed) is removed, never
    // followed to a file elsewhere that the truncation would empty.
    std::error_code ignored;
    if (std::filesystem::is_symlink(first, ignored)) {
        std::filesystem::remove(first, ignored);
    }
    out_.open(first, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!out_.is_open()) {
        state_ = CaptureState::Failed;
        return;
    }
    state_ = CaptureState::Open;
    out_ << "\n --- File Opened : Date / Time : " << Stamp() << " ---\n\n" << std::flush;
    CheckStream();
}

void CCaptureWriter::Write(std::string_view line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lineCount_ > kCaptureLinesPerFile) {
        lineCount_ = 0;
        if (state_ == CaptureState::Open) {
            CloseFull();
        }
        if (state_ == CaptureState::ToBeOpened) {
            OpenFresh();
        }
    }
    if (state_ != CaptureState::Open) {
        return;
    }
    // Each line goes to the system as it is written, so a run that is killed (or hangs and is
    // stopped) keeps its record up to its last line. One write per line costs a few percent of
    // an upload, whose every image byte is a line.
    out_ << line << '\n' << std::flush;
    ++lineCount_;
    CheckStream();
}

void CCaptureWriter::Flush() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ == CaptureState::Open) {
        out_.flush();
        CheckStream();
    }
}

void CCaptureWriter::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ != CaptureState::Open) {
        return;
    }
    out_ << "\n*** Program closing ***\n\n";
    out_.close();
    state_ = out_ ? CaptureState::Closed : CaptureState::Failed;
}

}  // namespace lane::moxtel
