#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/HException.h"
#include "platform/windows/WindowsPlatform.h"

namespace platform {

namespace {

// How long a cancelled transfer may take to end. A driver that has not ended it by then never
// may: the device is given up rather than the program left waiting.
constexpr DWORD cancelWaitMs = 1000;

// One direction's transfers: the completion record, the event it signals (unnamed, auto-reset,
// initially not signalled) and the bytes the system reads from or writes into. Reused by every
// transfer that goes through it. The bytes are the device's own, not the caller's, so that a
// transfer that never ends cannot write into a buffer the caller has reused or freed.
struct Transfer {
    OVERLAPPED record{};
    OwnedHandle event;
    std::vector<unsigned char> bytes;
};

// The longest wait that is still a bound: INFINITE would wait for ever.
DWORD boundedWait(unsigned timeoutMs) {
    return std::min<DWORD>(timeoutMs, INFINITE - 1);
}

// WinUSB bound to a whole device serves its first interface alone. The probes carry their pipes
// there on endpoints 1 and 2 (the bulk probe's 0x01 and 0x81, the bridge's channel A on 0x02 and
// 0x81); a bridge's further channels (0x83/0x04 and up) belong to interfaces this binding does
// not reach.
bool onFirstInterface(uint8_t endpoint) {
    const int number = endpoint & 0x0F;
    return number == 1 || number == 2;
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
        readDone->event = std::move(readEvent);
        writeDone->event = std::move(writeEvent);
    }
    WindowsUsbDevice(const WindowsUsbDevice&) = delete;
    WindowsUsbDevice& operator=(const WindowsUsbDevice&) = delete;

    // No transfer is pending here (each call awaits its own), unless one never ended after it
    // was cancelled: the system may still write into that one's record and bytes at any time,
    // so they are left to it, never freed. Its event may close: the system holds the event
    // itself, not the handle.
    ~WindowsUsbDevice() override {
        readDone->event = OwnedHandle();
        writeDone->event = OwnedHandle();
        winUsb.Free(interfaceHandle);
        device = OwnedHandle();
        if (failed) {
            static_cast<void>(readDone.release());
            static_cast<void>(writeDone.release());
        }
    }

    // An interface path names the device instance (its ids and serial number are in it), not a
    // port, so what it opens is the device that was listed.
    std::optional<UsbIdentity> identity() override { return std::nullopt; }

    int interfaceOfEndpoint(uint8_t endpoint) override {
        return onFirstInterface(endpoint) ? 0 : -1;
    }
    bool claimInterface(int interfaceNumber) override { return interfaceNumber == 0; }

    int bulkTransfer(uint8_t endpoint, void* data, int length, unsigned timeoutMs) override {
        if (length < 0 || failed)
            return -1;
        const bool in = (endpoint & 0x80) != 0;
        Transfer& done = in ? *readDone : *writeDone;
        restart(done, in ? nullptr : data, static_cast<std::size_t>(length));
        const auto size = static_cast<ULONG>(length);
        const BOOL started = in ? winUsb.ReadPipe(interfaceHandle, endpoint, done.bytes.data(),
                                                  size, nullptr, &done.record)
                                : winUsb.WritePipe(interfaceHandle, endpoint, done.bytes.data(),
                                                   size, nullptr, &done.record);
        return finish(await(started, done, timeoutMs), done, in ? data : nullptr);
    }

    // Control transfers share the write record: no transfer is ever left pending when a call
    // returns, so the records are free again between calls.
    int controlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                        void* data, uint16_t length, unsigned timeoutMs) override {
        if (failed)
            return -1;
        const bool in = (requestType & 0x80) != 0;
        const WINUSB_SETUP_PACKET setup{requestType, request, value, index, length};
        restart(*writeDone, in ? nullptr : data, data ? length : 0);
        const BOOL started =
            winUsb.ControlTransfer(interfaceHandle, setup, data ? writeDone->bytes.data() : nullptr,
                                   data ? length : 0, nullptr, &writeDone->record);
        return finish(await(started, *writeDone, timeoutMs), *writeDone, in ? data : nullptr);
    }

private:
    // The system wants the record's status fields zero when a transfer starts. `out` (length
    // bytes) is what goes to the device; null for a transfer from it.
    static void restart(Transfer& done, const void* out, std::size_t length) {
        done.record = OVERLAPPED{};
        done.record.hEvent = done.event.get();
        done.bytes.resize(std::max<std::size_t>(length, 1));
        if (out && length)
            std::memcpy(done.bytes.data(), out, length);
    }

    // Hands what came in to the caller's buffer.
    static int finish(int moved, const Transfer& done, void* in) {
        if (in && moved > 0)
            std::memcpy(in, done.bytes.data(), static_cast<std::size_t>(moved));
        return moved;
    }

    // Waits for a started transfer at most `timeoutMs` and answers the bytes it moved, or -1
    // when it did not start, failed (a stalled pipe, say: whatever it moved does not count) or
    // did not end in time. A transfer still pending then is cancelled and the cancellation
    // awaited, bounded too, before this returns: otherwise it could still complete into the
    // record the next transfer uses. One that completed while being cancelled keeps its bytes.
    // One whose cancellation never ends fails the device.
    int await(BOOL started, Transfer& done, unsigned timeoutMs) {
        if (!started && api.getLastError() != ERROR_IO_PENDING)
            return -1;
        api.waitForSingleObject(done.event.get(), boundedWait(timeoutMs));
        DWORD moved = 0;
        if (api.getOverlappedResult(device.get(), &done.record, &moved, FALSE))
            return static_cast<int>(moved);
        if (api.getLastError() != ERROR_IO_INCOMPLETE)
            return -1;
        api.cancelIoEx(device.get(), &done.record);
        api.waitForSingleObject(done.event.get(), cancelWaitMs);
        if (api.getOverlappedResult(device.get(), &done.record, &moved, FALSE))
            return static_cast<int>(moved);
        if (api.getLastError() == ERROR_IO_INCOMPLETE)
            failed = true;
        return -1;
    }

    const SystemApi api;
    const WinUsbApi winUsb;
    OwnedHandle device;  // closed last, after the interface handle is freed
    WINUSB_INTERFACE_HANDLE interfaceHandle;
    std::unique_ptr<Transfer> readDone = std::make_unique<Transfer>();
    std::unique_ptr<Transfer> writeDone = std::make_unique<Transfer>();
    // A transfer never ended after it was cancelled: the device moves nothing more.
    bool failed = false;
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
        return nullptr;  // `device` and whichever event was made close on the way out
    }
    return std::make_unique<WindowsUsbDevice>(api, winUsb, std::move(device), interfaceHandle,
                                              std::move(readEvent), std::move(writeEvent));
}

}  // namespace platform
