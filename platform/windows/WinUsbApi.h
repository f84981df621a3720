#pragma once

#include "platform/windows/SystemApi.h"

namespace platform {

// winusb.dll, loaded at run time, and its nine entry points. Only Initialize, Free, ReadPipe,
// WritePipe and ControlTransfer are called; the other four must be present all the same, and no
// pipe policy is ever changed from the system's defaults.
struct WinUsbApi {
    HMODULE module = nullptr;  // null: not loaded
    decltype(&WinUsb_Initialize) Initialize = nullptr;
    decltype(&WinUsb_Free) Free = nullptr;
    decltype(&WinUsb_QueryInterfaceSettings) QueryInterfaceSettings = nullptr;
    decltype(&WinUsb_QueryPipe) QueryPipe = nullptr;
    decltype(&WinUsb_ReadPipe) ReadPipe = nullptr;
    decltype(&WinUsb_WritePipe) WritePipe = nullptr;
    decltype(&WinUsb_SetPipePolicy) SetPipePolicy = nullptr;
    decltype(&WinUsb_ControlTransfer) ControlTransfer = nullptr;
    decltype(&WinUsb_GetDescriptor) GetDescriptor = nullptr;
};

// Fills `table` unless it is loaded already; once complete it stays loaded for the life of the
// process. Throws HException "Cannot load winusb.dll", or "Cannot get address of " and the first
// entry point missing; `table` is left empty then and the next call tries again. Not guarded:
// WindowsPlatform lets one open at a time call it.
void loadWinUsbApi(WinUsbApi& table, const SystemApi& api);

}  // namespace platform
