#pragma once

#include <utility>

#include "platform/windows/Win32.h"

namespace platform {

// Every SetupAPI and kernel call the Windows backend makes, as a table: the program hands in the
// system's own functions, tests hand in fakes, so the backend's logic is exercised without
// devices. Each entry has the exact type of the function it stands for.
struct SystemApi {
    decltype(&SetupDiGetClassDevsA) getClassDevs;
    decltype(&SetupDiEnumDeviceInterfaces) enumDeviceInterfaces;
    decltype(&SetupDiGetDeviceInterfaceDetailA) getDeviceInterfaceDetail;
    decltype(&SetupDiGetDeviceInstanceIdA) getDeviceInstanceId;
    decltype(&SetupDiGetDeviceRegistryPropertyA) getDeviceRegistryProperty;
    decltype(&SetupDiDestroyDeviceInfoList) destroyDeviceInfoList;
    decltype(&GetLastError) getLastError;
    decltype(&CreateFileA) createFile;
    decltype(&CloseHandle) closeHandle;
    decltype(&CreateEventA) createEvent;
    decltype(&WaitForSingleObject) waitForSingleObject;
    decltype(&GetOverlappedResult) getOverlappedResult;
    decltype(&CancelIoEx) cancelIoEx;
    decltype(&LoadLibraryA) loadLibrary;
    decltype(&GetProcAddress) getProcAddress;
    decltype(&FreeLibrary) freeLibrary;
};

// The system's own functions.
SystemApi systemApi();

// Closes a kernel handle with the CloseHandle of the table it was opened through; null and
// INVALID_HANDLE_VALUE are "nothing open".
class OwnedHandle {
public:
    OwnedHandle() = default;
    OwnedHandle(const SystemApi& api, HANDLE handle_) : closer(api.closeHandle), handle(handle_) {}
    OwnedHandle(OwnedHandle&& other) noexcept
        : closer(other.closer), handle(std::exchange(other.handle, nullptr)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) {
            close();
            closer = other.closer;
            handle = std::exchange(other.handle, nullptr);
        }
        return *this;
    }
    ~OwnedHandle() { close(); }

    HANDLE get() const { return handle; }
    explicit operator bool() const { return handle && handle != INVALID_HANDLE_VALUE; }

private:
    void close() {
        if (*this)
            closer(handle);
        handle = nullptr;
    }
    decltype(&CloseHandle) closer = nullptr;
    HANDLE handle = nullptr;
};

}  // namespace platform
