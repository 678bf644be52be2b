// The simulator pipe "\\.\pipe\OrvelSim": opening with the start-up box, reopening after loss,
// and the writes of the simulator writer.
#include "monitor/acquisition/SimulatorPipe.h"

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
    platform::PipeClient* client = nullptr;
    {
        std::lock_guard<std::mutex> lock(pipeLock_);
        client = client_.get();
    }
    if (client == nullptr) {
        error = platform::kErrorInvalidHandle;
        return platform::PipeClient::ReadStatus::Failed;
    }
    // Only the reader thread replaces or closes the client while acquisition runs.
    return client->ReadOverlapped(buffer, maxBytes, completion, bytesRead, error);
}

bool CSimulatorPipe::GetOverlappedResult(std::size_t& bytesRead, std::uint32_t& error) {
    platform::PipeClient* client = nullptr;
    {
        std::lock_guard<std::mutex> lock(pipeLock_);
        client = client_.get();
    }
    if (client == nullptr) {
        error = platform::kErrorInvalidHandle;
        return false;
    }
    return client->GetOverlappedResult(bytesRead, error);
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
