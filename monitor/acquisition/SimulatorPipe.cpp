// The simulator pipe "\\.\pipe\OrvelSim": opening with the start-up box, reopening after loss,
// and the writes of the simulator writer.
#include "monitor/acquisition/SimulatorPipe.h"

#include <algorithm>
#include <cstring>

#include "monitor/acquisition/StartupTexts.h"
#include "platform/SystemError.h"

namespace lane::monitor {

bool CSimulatorPipe::OpenAtStart(ManualResetEvent& cancel) {
    for (;;) {
        std::unique_ptr<platform::PipeClient> client;
        const std::uint32_t error = platform::OpenPipeClient(paths_, kSimulatorPipeName, client);
        if (error == 0) {
            std::lock_guard<std::mutex> lock(pipeLock_);
            client_ = std::move(client);
            return true;
        }
        if (cancel.IsSet()) {
            return false;
        }
        if (error != platform::kErrorFileNotFound) {
            messageBox_.Show(platform::SystemErrorText(error), kStartupErrorCaption,
                             platform::MessageIcon::Information);
            return false;
        }
        messageBox_.Show(kSimulatorNotRunning, kStartupErrorCaption,
                         platform::MessageIcon::Information);
        if (cancel.IsSet()) {
            return false;
        }
    }
}

void CSimulatorPipe::ReopenAfterLoss(ManualResetEvent& stopEvent) {
    Close();
    for (;;) {
        std::unique_ptr<platform::PipeClient> client;
        if (platform::OpenPipeClient(paths_, kSimulatorPipeName, client) == 0) {
            std::lock_guard<std::mutex> lock(pipeLock_);
            client_ = std::move(client);
            return;
        }
        if (WaitFor(clock_, stopEvent, kPipeReopenIntervalMs)) {
            return;
        }
    }
}

bool CSimulatorPipe::IsOpen() const {
    std::lock_guard<std::mutex> lock(pipeLock_);
    return client_ != nullptr;
}

platform::PipeClient::ReadStatus CSimulatorPipe::ReadOverlapped(std::uint8_t* buffer,
                                                                std::size_t maxBytes,
                                                                ManualResetEvent& completion,
                                                                std::size_t& bytesRead,
                                                                std::uint32_t& error) {
    error = 0;
    if (aheadStart_ < aheadEnd_ && maxBytes > 0) {
        bytesRead = TakeAhead(buffer, maxBytes);
        completion.Set();
        return platform::PipeClient::ReadStatus::Completed;
    }
    platform::PipeClient* client = nullptr;
    {
        std::lock_guard<std::mutex> lock(pipeLock_);
        client = client_.get();
    }
    if (client == nullptr) {
        bytesRead = 0;
        error = platform::kErrorInvalidHandle;
        return platform::PipeClient::ReadStatus::Failed;
    }
    // Only the reader thread replaces or closes the client while acquisition runs.
    aheadStart_ = 0;
    aheadEnd_ = 0;
    std::size_t count = 0;
    const auto status =
        client->ReadOverlapped(readAhead_.data(), readAhead_.size(), completion, count, error);
    if (status == platform::PipeClient::ReadStatus::Pending) {
        pendingBuffer_ = buffer;
        pendingMaxBytes_ = maxBytes;
    }
    aheadEnd_ = status == platform::PipeClient::ReadStatus::Completed ? count : 0;
    bytesRead = TakeAhead(buffer, maxBytes);
    return status;
}

bool CSimulatorPipe::GetOverlappedResult(std::size_t& bytesRead, std::uint32_t& error) {
    platform::PipeClient* client = nullptr;
    {
        std::lock_guard<std::mutex> lock(pipeLock_);
        client = client_.get();
    }
    bytesRead = 0;
    if (client == nullptr) {
        error = platform::kErrorInvalidHandle;
        return false;
    }
    std::size_t count = 0;
    const bool ok = client->GetOverlappedResult(count, error);
    aheadStart_ = 0;
    aheadEnd_ = ok ? count : 0;
    if (pendingBuffer_ != nullptr) {
        bytesRead = TakeAhead(pendingBuffer_, pendingMaxBytes_);
    }
    pendingBuffer_ = nullptr;
    return ok;
}

std::size_t CSimulatorPipe::TakeAhead(std::uint8_t* buffer, std::size_t maxBytes) {
    const std::size_t count = std::min(maxBytes, aheadEnd_ - aheadStart_);
    if (count > 0) {
        std::memcpy(buffer, readAhead_.data() + aheadStart_, count);
        aheadStart_ += count;
    }
    return count;
}

bool CSimulatorPipe::Write(const std::uint8_t* bytes, std::size_t count) {
    std::lock_guard<std::mutex> lock(pipeLock_);
    if (!client_) {
        return false;
    }
    std::uint32_t error = 0;
    return client_->Write(bytes, count, error);
}

void CSimulatorPipe::Close() {
    // What was read ahead belongs to the connection that goes.
    aheadStart_ = 0;
    aheadEnd_ = 0;
    pendingBuffer_ = nullptr;
    std::unique_ptr<platform::PipeClient> client;
    {
        std::lock_guard<std::mutex> lock(pipeLock_);
        client = std::move(client_);
    }
    if (client) {
        client->Close();
    }
}

}  // namespace lane::monitor
