#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/windows/SystemApi.h"

// A scripted Windows behind the backend's function tables: SetupAPI lists `interfaces`,
// `failing` names what the system lacks or refuses, and the calls that matter are written to
// `trace` ("open 3, initialise, ..."), so that a test states what was called, in what order.
// One instance at a time; the tables reach it through `current`.
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
    // Libraries or entry points the system lacks, and traced calls that fail: an open, an event,
    // a transfer's start, a wait that runs out (the transfer stays pending), a cancellation the
    // driver ignores. Also how the device ends the transfers it answers: "at once" (as they
    // start), "stall" (with an error, having moved its bytes all the same), else within the wait.
    std::set<std::string> failing;
    std::map<HANDLE, std::string> open;  // each open handle: its path, or "event"
    struct {
        LPOVERLAPPED record = nullptr;
        PUCHAR data = nullptr;
        ULONG length = 0;
        bool in = false;
    } transfer;        // the last one started
    std::string sent;  // what the last OUT transfer carried
    DWORD lastError = 0;
    std::array<std::u16string, 3> hidStrings;  // manufacturer, product, serial number
    int loaded = 0;                            // libraries loaded and not released
    std::string trace;
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
    F().trace += (F().trace.empty() ? "" : ", ") + call;
    return !F().failing.contains(call);
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

// The system keeps a transfer's state and the bytes it moved in its record. (ntstatus.h does not
// go with <windows.h>; these are its values.)
constexpr ULONG_PTR statusUnsuccessful = 0xC0000001, statusCancelled = 0xC0000120;

inline bool isPending(LPOVERLAPPED record) {
    return record && record->Internal == STATUS_PENDING;
}

// Ends the last transfer: the device has two bytes to send (1, 2) and takes all it is sent.
inline void complete() {
    auto& t = F().transfer;
    t.record->Internal = F().failing.contains("stall") ? statusUnsuccessful : 0;
    t.record->InternalHigh = t.in ? std::min<ULONG>(t.length, 2) : t.length;
    if (t.in && t.data)
        std::memcpy(t.data, "\1\2", t.record->InternalHigh);
}

// Starts a transfer through a cleared record.
inline BOOL start(const std::string& what, bool in, LPOVERLAPPED record, PUCHAR data,
                  ULONG length) {
    EXPECT_EQ(F().open[record->hEvent], "event");
    EXPECT_EQ(record->Internal | record->InternalHigh, 0u) << "a record not cleared for reuse";
    if (!note(what + " " + std::to_string(length)))
        return failWith(ERROR_GEN_FAILURE);
    record->Internal = STATUS_PENDING;
    F().transfer = {record, data, length, in};
    if (!in && data)
        F().sent.assign(reinterpret_cast<const char*>(data), length);
    if (!F().failing.contains("at once"))
        return failWith(ERROR_IO_PENDING);
    complete();
    return TRUE;
}

template <bool In>
BOOL WINAPI pipe(PVOID, UCHAR pipe, PUCHAR data, ULONG length, PULONG, LPOVERLAPPED record) {
    return start((In ? "read " : "write ") + std::to_string(pipe), In, record, data, length);
}

inline BOOL WINAPI control(PVOID, WINUSB_SETUP_PACKET s, PUCHAR data, ULONG length, PULONG,
                           LPOVERLAPPED record) {
    char what[48];
    std::snprintf(what, sizeof what, "control %02X %u %u %u", s.RequestType, s.Request, s.Value,
                  s.Index);
    return start(what, (s.RequestType & 0x80) != 0, record, data, length);
}

// Answers only into a buffer whose size in bytes holds the text and its NUL, as hid.dll does.
template <int Query>  // an index into hidStrings
BOOLEAN NTAPI hidString(HANDLE device, PVOID buffer, ULONG bytes) {
    EXPECT_TRUE(F().open.contains(device));
    const std::u16string& text = F().hidStrings[Query];
    const bool fits = (text.size() + 1) * 2 <= bytes;
    if (fits)
        std::memcpy(buffer, text.c_str(), (text.size() + 1) * 2);
    return fits;
}

inline void neverCalled() {
    ADD_FAILURE() << "an entry point the backend must have but never calls";
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
    return found != implemented.end() ? found->second : proc(&neverCalled);
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
        // Every device has more properties than the two asked for; a list of hardware ids, say.
        const std::optional<std::string> hardwareIds =
            std::string("USB\\VID_1A2B&PID_0003&REV_0700") + '\0' + "USB\\VID_1A2B&PID_0003" + '\0';
        return answerText(property == SPDRP_MFG          ? entry.manufacturer
                          : property == SPDRP_DEVICEDESC ? entry.description
                          : property == SPDRP_HARDWAREID ? hardwareIds
                                                         : std::nullopt,
                          buffer, size, required);
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
        EXPECT_TRUE(F().open.contains(handle)) << "closing what is not open";
        return note("close " + F().open[handle]) && F().open.erase(handle);
    };
    // Only an unnamed, auto-reset, initially clear event is of use to the backend.
    api.createEvent = [](auto, BOOL manual, BOOL set, LPCSTR name) -> HANDLE {
        return manual || set || name || !note("event") ? nullptr : newHandle("event");
    };
    // A pending transfer ends within the wait unless the wait is one that runs out.
    api.waitForSingleObject = [](HANDLE event, DWORD ms) -> DWORD {
        EXPECT_EQ(F().open[event], "event");
        if (note("wait " + std::to_string(ms)) && isPending(F().transfer.record))
            complete();
        return isPending(F().transfer.record) ? WAIT_TIMEOUT : WAIT_OBJECT_0;
    };
    // What the record says; a wait here could last for ever.
    api.getOverlappedResult = [](auto, auto record, LPDWORD count, BOOL wait) -> BOOL {
        EXPECT_FALSE(wait) << "an unbounded wait";
        note("poll");
        *count = DWORD(record->InternalHigh);
        if (record->Internal == STATUS_PENDING)
            return failWith(ERROR_IO_INCOMPLETE);
        return record->Internal == 0 ||
               failWith(record->Internal == statusCancelled ? ERROR_OPERATION_ABORTED
                                                            : ERROR_GEN_FAILURE);
    };
    // A cancelled transfer ends at once, as aborted, unless the driver ignores the request.
    api.cancelIoEx = [](HANDLE, LPOVERLAPPED record) -> BOOL {
        if (note("cancel") && isPending(record))
            record->Internal = statusCancelled;  // having moved nothing
        return TRUE;
    };
    api.loadLibrary = [](LPCSTR name) -> HMODULE {
        return F().failing.contains(name) ? nullptr
                                          : (++F().loaded, reinterpret_cast<HMODULE>(0x40));
    };
    api.getProcAddress = [](HMODULE, LPCSTR name) -> FARPROC {
        return F().failing.contains(name) ? nullptr : entryPoint(name);
    };
    api.freeLibrary = [](HMODULE) -> BOOL { return --F().loaded >= 0; };
    return api;
}

}  // namespace wintest
