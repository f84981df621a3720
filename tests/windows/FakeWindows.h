#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/windows/SystemApi.h"

// A scripted Windows behind the backend's function tables: SetupAPI lists `interfaces`, the
// libraries lack `missing`, transfers behave as `transfer` says, and the calls that matter are
// written to `trace`. One instance at a time; the tables reach it through `current`.
namespace wintest {

struct Interface {
    std::string path, instanceId;
    std::optional<std::string> manufacturer, description;
    bool enumFails = false, detailFails = false;
};

enum class Transfer { Completes, TimesOut, FailsAtStart };
enum class State { Idle, Pending, Cancelling, Done };

struct FakeWindows {
    FakeWindows() { current = this; }
    ~FakeWindows() { current = nullptr; }
    platform::SystemApi api() const;

    std::vector<Interface> interfaces;
    GUID listedClass{};
    DWORD listedFlags = 0;
    std::string missing;  // a library or an entry point the system lacks
    int createFileFailures = 0;
    bool initialiseFails = false;
    std::vector<std::array<DWORD, 4>> openArguments;  // access, sharing, disposition, flags
    std::map<HANDLE, std::string> open;               // each open handle: its path, or "event"
    Transfer transfer = Transfer::Completes;
    std::vector<uint8_t> answer;  // what the device sends to an IN transfer
    State state = State::Idle;
    DWORD moved = 0, lastError = 0;
    std::map<std::pair<std::string, int>, std::u16string> hidStrings;  // (path, query)
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

inline BOOL note(std::string call, BOOL result = TRUE) {
    F().trace.push_back(std::move(call));
    return result;
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

// Starts a transfer; one that completes has done so by the first wait, moving what it can.
inline BOOL start(const std::string& what, LPOVERLAPPED record, PUCHAR data, ULONG length) {
    note(what + " " + std::to_string(length));
    EXPECT_EQ(F().state, State::Idle) << "a transfer was left pending";
    EXPECT_EQ(F().open[record->hEvent], "event");
    EXPECT_EQ(record->Internal | record->InternalHigh, 0u) << "a record not cleared for reuse";
    record->Internal = STATUS_PENDING;  // the system keeps the transfer's state there
    if (F().transfer == Transfer::FailsAtStart)
        return failWith(ERROR_GEN_FAILURE);
    F().state = F().transfer == Transfer::Completes ? State::Done : State::Pending;
    const bool in = what.starts_with("read");
    F().moved = in ? std::min<ULONG>(length, ULONG(F().answer.size())) : length;
    if (in)
        std::memcpy(data, F().answer.data(), F().moved);
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

template <int Query>  // 0 manufacturer, 1 product, 2 serial number
BOOLEAN NTAPI hidString(HANDLE device, PVOID buffer, ULONG bytes) {
    const auto found = F().hidStrings.find({F().open[device], Query});
    const bool fits = found != F().hidStrings.end() && (found->second.size() + 1) * 2 <= bytes;
    if (fits)
        std::memcpy(buffer, found->second.c_str(), (found->second.size() + 1) * 2);
    return fits;
}

inline FARPROC entryPoint(const std::string& name) {
    static const std::map<std::string, FARPROC> implemented{
        {"WinUsb_Initialize", proc<decltype(&WinUsb_Initialize)>([](HANDLE, PVOID* out) -> BOOL {
             *out = reinterpret_cast<PVOID>(0x30);
             return note("initialise", F().initialiseFails ? failWith(ERROR_BAD_DEVICE) : TRUE);
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
        F().listedClass = *cls;
        F().listedFlags = flags;
        return reinterpret_cast<HDEVINFO>(0x20);
    };
    api.enumDeviceInterfaces = [](HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                                  PSP_DEVICE_INTERFACE_DATA data) -> BOOL {
        if (index >= F().interfaces.size())
            return failWith(ERROR_NO_MORE_ITEMS);
        data->Reserved = index;
        return F().interfaces[index].enumFails ? failWith(ERROR_GEN_FAILURE) : TRUE;
    };
    api.getDeviceInterfaceDetail = [](HDEVINFO, PSP_DEVICE_INTERFACE_DATA data,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                      PDWORD required, PSP_DEVINFO_DATA device) -> BOOL {
        const Interface& entry = F().interfaces[data->Reserved];
        constexpr DWORD header = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
        if (required)
            *required = DWORD(header + entry.path.size() + 1);
        if (!detail || entry.detailFails || detail->cbSize != sizeof *detail)
            return failWith(ERROR_INVALID_USER_BUFFER);
        device->Reserved = data->Reserved;
        return answerText(entry.path, detail->DevicePath, size - header, nullptr);
    };
    api.getDeviceInstanceId = [](HDEVINFO, PSP_DEVINFO_DATA device, PSTR id, DWORD size,
                                 PDWORD required) -> BOOL {
        return answerText(F().interfaces[device->Reserved].instanceId, id, size, required);
    };
    api.getDeviceRegistryProperty = [](HDEVINFO, PSP_DEVINFO_DATA device, DWORD property, PDWORD,
                                       PBYTE buffer, DWORD size, PDWORD required) -> BOOL {
        const Interface& entry = F().interfaces[device->Reserved];
        return answerText(property == SPDRP_MFG ? entry.manufacturer : entry.description, buffer,
                          size, required);
    };
    api.destroyDeviceInfoList = [](HDEVINFO) -> BOOL { return note("destroy set"); };
    api.getLastError = []() -> DWORD { return F().lastError; };
    api.createFile = [](LPCSTR path, DWORD access, DWORD sharing, LPSECURITY_ATTRIBUTES,
                        DWORD disposition, DWORD flags, HANDLE) -> HANDLE {
        F().openArguments.push_back({access, sharing, disposition, flags});
        return F().createFileFailures-- > 0 ? INVALID_HANDLE_VALUE : newHandle(path);
    };
    api.closeHandle = [](HANDLE handle) -> BOOL {
        const std::string call = "close " + F().open[handle];
        return note(call, F().open.erase(handle) == 1);
    };
    // Only an unnamed, auto-reset, initially clear event is of use to the backend.
    api.createEvent = [](LPSECURITY_ATTRIBUTES, BOOL manual, BOOL set, LPCSTR name) -> HANDLE {
        return manual || set || name ? nullptr : newHandle("event");
    };
    api.waitForSingleObject = [](HANDLE, DWORD ms) -> DWORD {
        note("wait " + std::to_string(ms));
        return F().state == State::Done ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    };
    api.getOverlappedResult = [](HANDLE, LPOVERLAPPED, LPDWORD count, BOOL wait) -> BOOL {
        note(wait ? "result, waiting" : "result");
        *count = F().moved;
        if (F().state == State::Pending) {
            EXPECT_FALSE(wait) << "would wait for ever";
            return failWith(ERROR_IO_INCOMPLETE);
        }
        const bool done = std::exchange(F().state, State::Idle) == State::Done;
        return done ? TRUE : failWith(ERROR_OPERATION_ABORTED);
    };
    api.cancelIoEx = [](HANDLE, LPOVERLAPPED) -> BOOL {
        F().state = F().state == State::Pending ? State::Cancelling : F().state;
        return note("cancel");
    };
    api.loadLibrary = [](LPCSTR name) -> HMODULE {
        const bool found = F().missing != name && note(std::string("load ") + name);
        return found ? reinterpret_cast<HMODULE>(0x40) : nullptr;
    };
    api.getProcAddress = [](HMODULE, LPCSTR name) -> FARPROC {
        return F().missing == name ? nullptr : entryPoint(name);
    };
    api.freeLibrary = [](HMODULE) -> BOOL { return note("free library"); };
    return api;
}

}  // namespace wintest
