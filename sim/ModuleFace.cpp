// lanesim's security module behind the driver sockets: handles, requests, held reads, stream.
#include "sim/ModuleFace.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/SystemError.h"

namespace lane::sim {

namespace {

// Answers of the module's driver to what it does not serve.
constexpr std::uint32_t kErrorInvalidFunction = 1;  // a control code the device does not know
constexpr std::uint32_t kErrorNotSupported = 50;    // a protocol version it does not speak
constexpr std::uint32_t kProtocolVersion = 1;

// Written bytes kept for matching; past this the oldest go, keeping enough for any pattern.
constexpr std::size_t kMaxHeldBytes = 1 << 20;

const char* DeviceText(bool usb) {
    return usb ? kModuleUsbDeviceName : kModuleBoardDeviceName;
}

std::string OpenedNote(bool usb, const platform::DeviceOpenMode& mode) {
    char text[128];
    std::snprintf(text, sizeof text, "opened %s (access %08X, share %X, flags %08X)",
                  DeviceText(usb), static_cast<unsigned>(mode.desiredAccess),
                  static_cast<unsigned>(mode.shareMode), static_cast<unsigned>(mode.flags));
    return text;
}

const char* PortChangeText(PortChange change) {
    switch (change) {
        case PortChange::Initialised:
            return "initialised";
        case PortChange::Opened:
            return "opened";
        case PortChange::Closed:
            return "closed";
        case PortChange::None:
            break;
    }
    return "";
}

}  // namespace

ModuleFace::ModuleFace(std::unique_ptr<platform::DeviceServer> usb,
                       std::unique_ptr<platform::DeviceServer> board, RecordWriter& record,
                       const ModuleIdentity& identity, const ModuleFaceSetup& setup)
    : usb_(std::move(usb)),
      board_(std::move(board)),
      record_(record),
      identity_(identity),
      setup_(setup),
      clock_(setup.clock != nullptr ? *setup.clock : realClock_) {
    answerState_.carousel = CarouselPorts(setup_.carousel);
    answerState_.billAcceptor = BillAcceptor(setup_.billAcceptor);
    answerState_.fujitsuDispenser = FujitsuDispenser(setup_.fujitsuDispenser);
    if (setup_.replies.delayMs > 0) {
        delayer_ = std::thread([this] { DelayLoop(); });
    }
    if (usb_) {
        usbAcceptor_ = std::thread([this] { AcceptLoop(*usb_, Device::Usb); });
    }
    if (board_) {
        boardAcceptor_ = std::thread([this] { AcceptLoop(*board_, Device::Board); });
    }
}

ModuleFace::~ModuleFace() {
    for (auto* server : {usb_.get(), board_.get()}) {
        if (server != nullptr) {
            server->Shutdown();
        }
    }
    for (std::thread* acceptor : {&usbAcceptor_, &boardAcceptor_}) {
        if (acceptor->joinable()) {
            acceptor->join();
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
        lateChanged_.Set();
        for (const auto& handle : handles_) {
            handle->connection->Close();
        }
    }
    if (delayer_.joinable()) {
        delayer_.join();
    }
    // No handle is added any more: the acceptors have ended.
    for (const auto& handle : handles_) {
        handle->thread.join();
    }
}

void ModuleFace::AcceptLoop(platform::DeviceServer& server, Device device) {
    for (;;) {
        std::unique_ptr<platform::DeviceConnection> connection = server.Accept(-1);
        if (!connection) {
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        auto handle = std::make_unique<Handle>();
        handle->number = static_cast<int>(handles_.size()) + 1;
        handle->device = device;
        handle->connection = std::move(connection);
        Handle& served = *handle;
        handles_.push_back(std::move(handle));
        served.thread = std::thread([this, &served] { Serve(served); });
    }
}

void ModuleFace::Serve(Handle& handle) {
    platform::DeviceRequest request;
    while (handle.connection->Receive(request, -1) ==
           platform::DeviceConnection::ReceiveStatus::Received) {
        std::lock_guard<std::mutex> lock(mutex_);
        HandleRequest(handle, request);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        CloseHandle(handle);
    }
    changed_.Set();
}

void ModuleFace::HandleRequest(Handle& handle, const platform::DeviceRequest& request) {
    const bool usb = handle.device == Device::Usb;
    switch (request.kind) {
        case platform::DeviceRequestKind::Hello:
            HandleHello(handle, request);
            return;
        case platform::DeviceRequestKind::Close:
            CloseHandle(handle);
            changed_.Set();
            return;
        case platform::DeviceRequestKind::Write:
            if (!usb) {
                handle.connection->ReplyWritten(request.id, kErrorInvalidFunction, 0);
                return;
            }
            // Taken before the write returns, so its effects are there when the program goes on.
            TakePacket(handle, request.input);
            handle.connection->ReplyWritten(request.id, platform::kErrorSuccess,
                                            static_cast<std::uint32_t>(request.input.size()));
            return;
        case platform::DeviceRequestKind::Read:
            if (!usb) {
                handle.connection->Reply(request.id, kErrorInvalidFunction, {});
                return;
            }
            Hold(kSerialPortRead, handle, request.id);
            return;
        case platform::DeviceRequestKind::Control:
            if (usb) {
                HandleUsbControl(handle, request);
            } else {
                HandleBoardControl(handle, request);
            }
            return;
    }
}

void ModuleFace::HandleHello(Handle& handle, const platform::DeviceRequest& request) {
    const bool usb = handle.device == Device::Usb;
    if (request.version != kProtocolVersion) {
        handle.connection->Reply(request.id, kErrorNotSupported, {});
        record_.ModuleNote(handle.number, std::string("refused on ") + DeviceText(usb) +
                                              " (protocol version " +
                                              std::to_string(request.version) + ")");
        return;
    }
    if (!handle.open) {
        handle.open = true;
        ++openHandles_;
        allClosed_.Reset();
        record_.ModuleNote(handle.number, OpenedNote(usb, request.mode));
    }
    handle.connection->Reply(request.id, platform::kErrorSuccess, {});
    changed_.Set();
}

void ModuleFace::HandleUsbControl(Handle& handle, const platform::DeviceRequest& request) {
    switch (request.controlCode) {
        case kIoctlUsbWriteSystemPort:
            // The packet travels in the output buffer (direct I/O).
            TakePacket(handle, request.output);
            handle.connection->Reply(request.id, platform::kErrorSuccess, {});
            return;
        case kIoctlUsbReadSystemPort:
            Hold(kSystemPortRead, handle, request.id);
            return;
        case kIoctlUsbReadRemoteMonitorPort:
            Hold(kRemoteMonitorRead, handle, request.id);
            return;
        default:
            handle.connection->Reply(request.id, kErrorInvalidFunction, {});
            return;
    }
}

void ModuleFace::HandleBoardControl(Handle& handle, const platform::DeviceRequest& request) {
    switch (request.controlCode) {
        case kIoctlBoardWritePacket:
            TakePacket(handle, request.input);
            handle.connection->Reply(request.id, platform::kErrorSuccess, {});
            return;
        case kIoctlBoardReadPacket:
            Hold(kBoardRead, handle, request.id);
            return;
        default:
            handle.connection->Reply(request.id, kErrorInvalidFunction, {});
            return;
    }
}

void ModuleFace::Hold(Channel channel, Handle& handle, std::uint32_t id) {
    held_[channel].push_back(HeldRead{&handle, id});
    Deliver(channel);
}

// Records the packet, answers it as the module does, then makes it visible to the matching.
void ModuleFace::TakePacket(Handle& handle, const std::vector<std::uint8_t>& bytes) {
    const bool usb = handle.device == Device::Usb;
    if (bytes.empty()) {
        record_.ModuleNote(handle.number, "wrote no bytes");
    }
    record_.ModuleReceived(handle.number, bytes.data(), bytes.size());
    const auto packet = usb ? ReadUsbPacket(bytes) : ReadBoardPacket(bytes);
    if (packet) {
        const ModuleAnswer answer =
            AnswerPacket(*packet, identity_, answerState_, setup_.replies.noise);
        ChangePort(handle, answer);
        Answer(handle.device, answer);
        CaptureUpload(handle, *packet);
        NoteDevices(handle, answer);
    }
    received_.insert(received_.end(), bytes.begin(), bytes.end());
    if (received_.size() > kMaxHeldBytes) {
        const std::size_t cut = received_.size() - kMaxPacketBytes;
        received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(cut));
        matchFrom_ = matchFrom_ > cut ? matchFrom_ - cut : 0;
    }
    changed_.Set();
}

// Answers go out at once, or all of them the scenario's reply delay later.
void ModuleFace::Answer(Device device, const ModuleAnswer& answer) {
    if (setup_.replies.delayMs <= 0) {
        for (const ModulePacket& response : answer.responses) {
            Queue(device, response);
        }
        return;
    }
    if (answer.responses.empty()) {
        return;
    }
    const std::int64_t dueMs = clock_.TickMs() + setup_.replies.delayMs;
    for (const ModulePacket& response : answer.responses) {
        late_.push_back(LateAnswer{dueMs, device, response});
    }
    lateChanged_.Set();
}

void ModuleFace::DelayLoop() {
    for (;;) {
        std::int64_t waitMs = kInfiniteMs;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (ending_) {
                return;
            }
            lateChanged_.Reset();
            const std::int64_t nowMs = clock_.TickMs();
            while (!late_.empty() && late_.front().dueMs <= nowMs) {
                Queue(late_.front().device, late_.front().packet);
                late_.pop_front();
            }
            if (!late_.empty()) {
                waitMs = late_.front().dueMs - nowMs;
            }
        }
        static_cast<void>(WaitForAny(clock_, {&lateChanged_}, waitMs));
    }
}

// The firmware upload on the system port: notes in the record, the image written once whole.
void ModuleFace::CaptureUpload(Handle& handle, const ModulePacket& packet) {
    const std::size_t previousReceived = upload_.Received();
    const std::size_t previousExpected = upload_.Expected();
    const UploadEvent event = upload_.Take(packet);
    const auto bytes = [](std::size_t count) { return std::to_string(count) + " bytes"; };
    switch (event) {
        case UploadEvent::None:
            return;
        case UploadEvent::Restarted:
            record_.ModuleNote(handle.number, "firmware upload aborted (" +
                                                  bytes(previousReceived) + " of " +
                                                  bytes(previousExpected) + ", a new start came)");
            [[fallthrough]];
        case UploadEvent::Started:
            record_.ModuleNote(handle.number,
                               "firmware upload started (" + bytes(upload_.Expected()) + ")");
            return;
        case UploadEvent::Completed:
            break;
        case UploadEvent::Oversized:
            record_.ModuleNote(handle.number,
                               "firmware upload oversized (" + bytes(upload_.LostBytes()) +
                                   " past the announced " + bytes(upload_.Expected()) + ")");
            return;
        case UploadEvent::Stray:
            record_.ModuleNote(handle.number, "firmware upload data without a start");
            return;
        case UploadEvent::BadStart:
            record_.ModuleNote(handle.number, "firmware upload start refused (bad start packet)");
            return;
    }
    std::string note = "firmware upload complete (" + bytes(upload_.Received()) + ")";
    std::string error;
    if (!setup_.uploadImagePath.empty() &&
        WriteUploadedImage(setup_.uploadImagePath, upload_.Image(), error) != 0) {
        note += ", " + error;
    }
    ++uploadsCompleted_;
    record_.ModuleNote(handle.number, note);
}

// The devices' notes after the packet that caused them; a bill acceptor's completed upload is
// written and counted as a firmware upload.
void ModuleFace::NoteDevices(Handle& handle, const ModuleAnswer& answer) {
    for (const std::string& note : answer.notes) {
        record_.ModuleNote(handle.number, note);
    }
    std::vector<std::uint8_t> image;
    if (!answerState_.billAcceptor.TakeCompleted(image)) {
        return;
    }
    std::string error;
    if (!setup_.billAcceptorImagePath.empty() &&
        WriteUploadedImage(setup_.billAcceptorImagePath, image, error) != 0) {
        record_.ModuleNote(handle.number, "bill acceptor image: " + error);
    }
    ++uploadsCompleted_;
}

void ModuleFace::ChangePort(Handle& handle, const ModuleAnswer& answer) {
    if (answer.change == PortChange::None) {
        return;
    }
    if (answer.port < portOpen_.size()) {
        if (answer.change == PortChange::Opened) {
            portOpen_[answer.port] = true;
        } else if (answer.change == PortChange::Closed) {
            portOpen_[answer.port] = false;
        }
    }
    record_.ModuleNote(handle.number,
                       "port " + std::to_string(answer.port) + " " + PortChangeText(answer.change));
}

void ModuleFace::Queue(Device device, const ModulePacket& packet) {
    const bool usb = device == Device::Usb;
    Channel channel = kBoardRead;
    if (usb) {
        channel = packet.DA == kModuleSystemPort          ? kSystemPortRead
                  : packet.DA == kModuleRemoteMonitorPort ? kRemoteMonitorRead
                                                          : kSerialPortRead;
    }
    std::vector<std::uint8_t> wire = usb ? UsbWireBytes(packet) : BoardWireBytes(packet);
    if (!faults_.Apply(packet.DA, usb, wire)) {
        return;
    }
    auto& queued = queued_[channel];
    if (queued.size() >= kMaxQueuedModulePackets) {
        queued.pop_front();
    }
    queued.push_back(std::move(wire));
    Deliver(channel);
}

// Gives queued packets to held reads, oldest to oldest. A read whose handle has gone keeps its
// packet for the next read.
void ModuleFace::Deliver(Channel channel) {
    auto& held = held_[channel];
    auto& queued = queued_[channel];
    while (!held.empty() && !queued.empty()) {
        const HeldRead read = held.front();
        held.pop_front();
        if (read.handle->connection->Reply(read.id, platform::kErrorSuccess, queued.front())) {
            queued.pop_front();
            if (channel == kRemoteMonitorRead) {
                changed_.Set();  // room for a stream that waits
            }
        }
    }
}

void ModuleFace::CloseHandle(Handle& handle) {
    for (auto& held : held_) {
        held.erase(std::remove_if(held.begin(), held.end(),
                                  [&](const HeldRead& read) { return read.handle == &handle; }),
                   held.end());
    }
    if (!handle.open) {
        return;
    }
    handle.open = false;
    record_.ModuleNote(handle.number, ending_ ? "closed at the end" : "closed by the program");
    if (--openHandles_ == 0) {
        allClosed_.Set();
    }
}

template <typename Ready>
ModuleFace::AwaitResult ModuleFace::AwaitState(Clock& clock, Waitable& stop, std::int64_t timeoutMs,
                                               Ready ready) {
    const std::int64_t deadlineMs =
        timeoutMs == kInfiniteMs ? kInfiniteMs : clock.TickMs() + timeoutMs;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (ready()) {
                return kReady;
            }
            changed_.Reset();
        }
        const std::int64_t leftMs = deadlineMs == kInfiniteMs
                                        ? kInfiniteMs
                                        : std::max<std::int64_t>(0, deadlineMs - clock.TickMs());
        const int woken = WaitForAny(clock, {&stop, &changed_}, leftMs);
        if (woken == 0) {
            return kStopped;
        }
        if (woken == kWaitTimeout) {
            return kTimedOut;
        }
    }
}

ModuleFace::AwaitResult ModuleFace::AwaitHandle(Clock& clock, Waitable& stop,
                                                std::int64_t timeoutMs) {
    return AwaitState(clock, stop, timeoutMs, [this] { return openHandles_ > 0; });
}

ModuleFace::AwaitResult ModuleFace::AwaitPortOpen(std::uint8_t port, Clock& clock, Waitable& stop,
                                                  std::int64_t timeoutMs) {
    return AwaitState(clock, stop, timeoutMs,
                      [this, port] { return port < portOpen_.size() && portOpen_[port]; });
}

ModuleFace::AwaitResult ModuleFace::AwaitMonitorRoom(Clock& clock, Waitable& stop,
                                                     std::int64_t timeoutMs) {
    return AwaitState(clock, stop, timeoutMs, [this] {
        return queued_[kRemoteMonitorRead].size() < kMaxQueuedModulePackets / 2;
    });
}

void ModuleFace::SendMonitorStream(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const ModulePacket& packet : CutMonitorStream(bytes)) {
        Queue(Device::Usb, packet);
    }
}

void ModuleFace::ArmFault(const ModuleFault& fault) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.Arm(fault);
}

bool ModuleFace::TakeMatch(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto from = received_.begin() + static_cast<std::ptrdiff_t>(matchFrom_);
    const auto found = std::search(from, received_.end(), bytes.begin(), bytes.end());
    if (!bytes.empty() && found != received_.end()) {
        matchFrom_ = static_cast<std::size_t>(found - received_.begin()) + bytes.size();
        return true;
    }
    changed_.Reset();
    return false;
}

bool ModuleFace::TakeUpload() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (uploadsTaken_ < uploadsCompleted_) {
        ++uploadsTaken_;
        return true;
    }
    changed_.Reset();
    return false;
}

bool ModuleFace::InUse() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return openHandles_ > 0;
}

bool ModuleFace::PortOpen(std::uint8_t port) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return port < portOpen_.size() && portOpen_[port];
}

}  // namespace lane::sim
