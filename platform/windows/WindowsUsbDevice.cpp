#include <algorithm>

#include "platform/HException.h"
#include "platform/windows/WindowsPlatform.h"

namespace platform {

namespace {

// A transfer's completion record and the event it signals: unnamed, auto-reset, initially not
// signalled. Reused by every transfer that goes through it.
struct Completion {
    OVERLAPPED record{};
    OwnedHandle event;
};

// The longest wait that is still a bound: INFINITE would wait for ever.
DWORD boundedWait(unsigned timeoutMs) {
    return std::min<DWORD>(timeoutMs, INFINITE - 1);
}

// A device opened for overlapped I/O with WinUSB bound to its first interface, the one the
// driver package binds. One thread at a time: its completion records serve one transfer each way.
class WindowsUsbDevice final : public UsbDevice {
public:
    WindowsUsbDevice(const SystemApi& api_, const WinUsbApi& winUsb_, OwnedHandle device_,
                     WINUSB_INTERFACE_HANDLE interfaceHandle_, OwnedHandle readEvent,
                     OwnedHandle writeEvent)
        : api(api_),
          winUsb(winUsb_),
          device(std::move(device_)),
          interfaceHandle(interfaceHandle_) {
        readDone.event = std::move(readEvent);
        writeDone.event = std::move(writeEvent);
    }
    WindowsUsbDevice(const WindowsUsbDevice&) = delete;
    WindowsUsbDevice& operator=(const WindowsUsbDevice&) = delete;

    // No transfer is pending here (each call awaits its own), so nothing can complete into a
    // record or buffer that is gone.
    ~WindowsUsbDevice() override {
        readDone.event = OwnedHandle();
        writeDone.event = OwnedHandle();
        winUsb.Free(interfaceHandle);
    }

    // An interface path names the device instance (its ids and serial number are in it), not a
    // port, so what it opens is the device that was listed.
    std::optional<UsbIdentity> identity() override { return std::nullopt; }

    int interfaceOfEndpoint(uint8_t) override { return 0; }
    bool claimInterface(int interfaceNumber) override { return interfaceNumber == 0; }

    int bulkTransfer(uint8_t endpoint, void* data, int length, unsigned timeoutMs) override {
        if (length < 0)
            return -1;
        const bool in = (endpoint & 0x80) != 0;
        Completion& done = in ? readDone : writeDone;
        restart(done);
        auto* bytes = static_cast<PUCHAR>(data);
        const auto size = static_cast<ULONG>(length);
        const BOOL started =
            in ? winUsb.ReadPipe(interfaceHandle, endpoint, bytes, size, nullptr, &done.record)
               : winUsb.WritePipe(interfaceHandle, endpoint, bytes, size, nullptr, &done.record);
        return await(started, done, timeoutMs);
    }

    // Control transfers share the write record: no transfer is ever left pending when a call
    // returns, so the records are free again between calls.
    int controlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                        void* data, uint16_t length, unsigned timeoutMs) override {
        const WINUSB_SETUP_PACKET setup{requestType, request, value, index, length};
        restart(writeDone);
        const BOOL started = winUsb.ControlTransfer(
            interfaceHandle, setup, static_cast<PUCHAR>(data), length, nullptr, &writeDone.record);
        return await(started, writeDone, timeoutMs);
    }

private:
    // The system wants the record's status fields zero when a transfer starts.
    static void restart(Completion& done) {
        done.record = OVERLAPPED{};
        done.record.hEvent = done.event.get();
    }

    // Waits for a started transfer at most `timeoutMs` and answers the bytes it moved, or -1.
    // A transfer still pending then is cancelled, and its cancellation awaited, before this
    // returns: otherwise it could still complete into the caller's buffer after the caller had
    // reused or freed it, or into the record the next transfer uses. One that completed while
    // being cancelled keeps its bytes.
    int await(BOOL started, Completion& done, unsigned timeoutMs) {
        if (!started && api.getLastError() != ERROR_IO_PENDING)
            return -1;
        api.waitForSingleObject(done.event.get(), boundedWait(timeoutMs));
        DWORD moved = 0;
        if (api.getOverlappedResult(device.get(), &done.record, &moved, FALSE))
            return static_cast<int>(moved);
        if (api.getLastError() != ERROR_IO_INCOMPLETE)
            return -1;
        api.cancelIoEx(device.get(), &done.record);
        if (api.getOverlappedResult(device.get(), &done.record, &moved, TRUE))
            return static_cast<int>(moved);
        return -1;
    }

    const SystemApi api;
    const WinUsbApi winUsb;
    OwnedHandle device;  // closed last, after the interface handle is freed
    WINUSB_INTERFACE_HANDLE interfaceHandle;
    Completion readDone;
    Completion writeDone;
};

}  // namespace

std::unique_ptr<UsbDevice> windowsOpenUsbDevice(const SystemApi& api, WinUsbApi& winUsb,
                                                const std::string& devicePath) {
    OpenFailure ignored;
    return windowsOpenUsbDevice(api, winUsb, devicePath, ignored);
}

std::unique_ptr<UsbDevice> windowsOpenUsbDevice(const SystemApi& api, WinUsbApi& winUsb,
                                                const std::string& devicePath,
                                                OpenFailure& failure) {
    loadWinUsbApi(winUsb, api);
    OwnedHandle device(api, api.createFile(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!device) {
        const DWORD error = api.getLastError();
        const bool denied = error == ERROR_ACCESS_DENIED;
        const bool gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_DEVICE_NOT_CONNECTED;
        failure = {denied ? OpenFailureReason::AccessDenied
                   : gone ? OpenFailureReason::Gone
                          : OpenFailureReason::Unknown,
                   static_cast<int>(error),
                   {}};
        return nullptr;
    }
    WINUSB_INTERFACE_HANDLE interfaceHandle = nullptr;
    // Where WinUSB is not the device's driver, the device opens but WinUSB cannot serve it.
    if (!winUsb.Initialize(device.get(), &interfaceHandle))
        throw HException("WinUsb_Initialize failed",
                         {OpenFailureReason::NoWinUsb, static_cast<int>(api.getLastError()), {}});
    OwnedHandle readEvent(api, api.createEvent(nullptr, FALSE, FALSE, nullptr));
    OwnedHandle writeEvent(api, api.createEvent(nullptr, FALSE, FALSE, nullptr));
    if (!readEvent || !writeEvent) {
        winUsb.Free(interfaceHandle);
        return nullptr;
    }
    return std::make_unique<WindowsUsbDevice>(api, winUsb, std::move(device), interfaceHandle,
                                              std::move(readEvent), std::move(writeEvent));
}

}  // namespace platform
