#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/windows/SystemApi.h"

// A scripted Windows behind the backend's function tables: SetupAPI lists `interfaces`,
// `failing` names what the system lacks or refuses, and the calls that matter are written to
// `trace`, so that a test states what was called, in what order. One instance at a time; the
// tables reach it through `current`.
namespace wintest {

struct Interface {
    std::string path, instanceId;
    std::optional<std::string> manufacturer, description;
    bool enumFails = false, detailFails = false;
};

struct FakeWindows {
    FakeWindows() { current = this; }
    ~FakeWindows() { current = nullptr; }
    platform::SystemApi api() const;

    std::vector<Interface> interfaces;
    GUID listedClass{};
    // A library or entry point the system lacks, or a traced call that fails: an open, or a
    // transfer's start or wait (a transfer whose wait fails is still pending when it returns).
    std::string failing;
    std::map<HANDLE, std::string> open;  // each open handle: its path, or "event"
    bool pending = false;
    DWORD lastError = 0;
    std::array<std::u16string, 3> hidStrings;  // manufacturer, product, serial number
    int loaded = 0;                            // libraries loaded and not released
    std::vector<std::string> trace;
    static inline FakeWindows* current = nullptr;
};

inline FakeWindows& F() {
    return *FakeWindows::current;
}

inline BOOL failWith(DWORD error) {
    F().lastError = error;
    return FALSE;
}

// Traces `call`; false when it is the one that fails.
inline bool note(const std::string& call) {
    F().trace.push_back(call);
    return call != F().failing;
}

inline HANDLE newHandle(std::string what) {
    static uintptr_t next = 0x100;
    const auto handle = reinterpret_cast<HANDLE>(next++);
    F().open[handle] = std::move(what);
    return handle;
}

// An entry point of the type `Function` stands for, as GetProcAddress hands it out.
template <typename Function>
FARPROC proc(Function function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

// Copies `text` with its NUL when `size` bytes hold them; else tells the size needed.
inline BOOL answerText(const std::optional<std::string>& text, void* buffer, DWORD size,
                       PDWORD required) {
    const auto needed = DWORD(text ? text->size() + 1 : 0);
    if (required)
        *required = needed;
    if (!text || !buffer || size < needed)
        return failWith(text ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_DATA);
    std::memcpy(buffer, text->c_str(), needed);
    return TRUE;
}

// Starts a transfer through a cleared record. The device has two bytes to send (1, 2) and takes
// all it is sent.
inline BOOL start(const std::string& what, LPOVERLAPPED record, PUCHAR data, ULONG length) {
    EXPECT_EQ(F().open[record->hEvent], "event");
    EXPECT_EQ(record->Internal | record->InternalHigh, 0u) << "a record not cleared for reuse";
    // The system keeps a transfer's state and the bytes it moved in its record.
    record->Internal = STATUS_PENDING;
    if (!note(what + " " + std::to_string(length)))
        return failWith(ERROR_GEN_FAILURE);
    const bool in = what.starts_with("read");
    record->InternalHigh = in ? std::min<ULONG>(length, 2) : length;
    if (in)
        std::memcpy(data, "\1\2", record->InternalHigh);
    return failWith(ERROR_IO_PENDING);
}

template <bool In>
BOOL WINAPI pipe(PVOID, UCHAR pipe, PUCHAR data, ULONG length, PULONG, LPOVERLAPPED record) {
    return start((In ? "read " : "write ") + std::to_string(pipe), record, data, length);
}

inline BOOL WINAPI control(PVOID, WINUSB_SETUP_PACKET s, PUCHAR data, ULONG length, PULONG,
                           LPOVERLAPPED record) {
    char what[48];
    std::snprintf(what, sizeof what, "control %02X %u %u %u", s.RequestType, s.Request, s.Value,
                  s.Index);
    return start(what, record, data, length);
}

template <int Query>  // an index into hidStrings; an empty one the device does not answer
BOOLEAN NTAPI hidString(HANDLE device, PVOID buffer, ULONG bytes) {
    EXPECT_TRUE(F().open.contains(device));
    const std::u16string& text = F().hidStrings[Query];
    const bool fits = !text.empty() && (text.size() + 1) * 2 <= bytes;
    if (fits)
        std::memcpy(buffer, text.c_str(), (text.size() + 1) * 2);
    return fits;
}

inline FARPROC entryPoint(const std::string& name) {
    static const std::map<std::string, FARPROC> implemented{
        {"WinUsb_Initialize", proc<decltype(&WinUsb_Initialize)>([](auto, auto) -> BOOL {
             return note("initialise") || failWith(ERROR_BAD_DEVICE);
         })},
        {"WinUsb_Free",
         proc<decltype(&WinUsb_Free)>([](PVOID) -> BOOL { return note("free interface"); })},
        {"WinUsb_ReadPipe", proc(&pipe<true>)},
        {"WinUsb_WritePipe", proc(&pipe<false>)},
        {"WinUsb_ControlTransfer", proc(&control)},
        {"HidD_GetManufacturerString", proc(&hidString<0>)},
        {"HidD_GetProductString", proc(&hidString<1>)},
        {"HidD_GetSerialNumberString", proc(&hidString<2>)},
    };
    const auto found = implemented.find(name);
    // An entry point the backend must have but never calls.
    return found != implemented.end() ? found->second : proc(+[] { ADD_FAILURE(); });
}

inline platform::SystemApi FakeWindows::api() const {
    platform::SystemApi api{};
    api.getClassDevs = [](const GUID* cls, PCSTR, HWND, DWORD flags) -> HDEVINFO {
        EXPECT_EQ(flags, DWORD{DIGCF_PRESENT | DIGCF_DEVICEINTERFACE});
        F().listedClass = *cls;
        return reinterpret_cast<HDEVINFO>(0x20);
    };
    api.enumDeviceInterfaces = [](auto, auto, auto, DWORD index, auto data) -> BOOL {
        if (index >= F().interfaces.size())
            return failWith(ERROR_NO_MORE_ITEMS);
        data->Reserved = index;
        return F().interfaces[index].enumFails ? failWith(ERROR_GEN_FAILURE) : TRUE;
    };
    api.getDeviceInterfaceDetail = [](auto, auto data, auto detail, DWORD size, PDWORD required,
                                      auto device) -> BOOL {
        const Interface& entry = F().interfaces[data->Reserved];
        constexpr DWORD header = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
        if (required)
            *required = DWORD(header + entry.path.size() + 1);
        if (!detail || entry.detailFails || detail->cbSize != sizeof *detail)
            return failWith(ERROR_INVALID_USER_BUFFER);
        device->Reserved = data->Reserved;
        return answerText(entry.path, detail->DevicePath, size - header, nullptr);
    };
    api.getDeviceInstanceId = [](auto, auto device, PSTR id, DWORD size, PDWORD required) -> BOOL {
        return answerText(F().interfaces[device->Reserved].instanceId, id, size, required);
    };
    api.getDeviceRegistryProperty = [](auto, auto device, DWORD property, auto, PBYTE buffer,
                                       DWORD size, PDWORD required) -> BOOL {
        const Interface& entry = F().interfaces[device->Reserved];
        return answerText(property == SPDRP_MFG ? entry.manufacturer : entry.description, buffer,
                          size, required);
    };
    api.destroyDeviceInfoList = [](HDEVINFO) -> BOOL { return note("destroy set"); };
    api.getLastError = []() -> DWORD { return F().lastError; };
    // Every device is opened for overlapped reading and writing; how it is shared is traced.
    api.createFile = [](LPCSTR path, DWORD access, DWORD sharing, auto, DWORD disposition,
                        DWORD flags, auto) -> HANDLE {
        EXPECT_TRUE(access == (GENERIC_READ | GENERIC_WRITE) && disposition == OPEN_EXISTING &&
                    flags == FILE_FLAG_OVERLAPPED);
        return note("open " + std::to_string(sharing)) ? newHandle(path) : INVALID_HANDLE_VALUE;
    };
    api.closeHandle = [](HANDLE handle) -> BOOL {
        return note("close " + F().open[handle]) && F().open.erase(handle);
    };
    // Only an unnamed, auto-reset, initially clear event is of use to the backend.
    api.createEvent = [](auto, BOOL manual, BOOL set, LPCSTR name) -> HANDLE {
        return manual || set || name ? nullptr : newHandle("event");
    };
    api.waitForSingleObject = [](HANDLE, DWORD ms) -> DWORD {
        F().pending = !note("wait " + std::to_string(ms));
        return F().pending ? WAIT_TIMEOUT : WAIT_OBJECT_0;
    };
    // A pending transfer ends only when cancelled, and then as aborted.
    api.getOverlappedResult = [](auto, auto record, LPDWORD count, BOOL wait) -> BOOL {
        note(wait ? "await" : "poll");
        *count = DWORD(record->InternalHigh);
        return !F().pending || failWith(wait ? ERROR_OPERATION_ABORTED : ERROR_IO_INCOMPLETE);
    };
    api.cancelIoEx = [](HANDLE, LPOVERLAPPED) -> BOOL { return note("cancel"); };
    api.loadLibrary = [](LPCSTR name) -> HMODULE {
        return F().failing == name ? nullptr : (++F().loaded, reinterpret_cast<HMODULE>(0x40));
    };
    api.getProcAddress = [](HMODULE, LPCSTR name) -> FARPROC {
        return F().failing == name ? nullptr : entryPoint(name);
    };
    api.freeLibrary = [](HMODULE) -> BOOL { return --F().loaded >= 0; };
    return api;
}

}  // namespace wintest
