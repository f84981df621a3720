#include "platform/windows/WinUsbApi.h"

#include <string>

#include "platform/HException.h"
#include "platform/windows/EntryPoints.h"

namespace platform {

void loadWinUsbApi(WinUsbApi& table, const SystemApi& api) {
    if (table.module)
        return;
    WinUsbApi loaded;
    loaded.module = api.loadLibrary("winusb.dll");
    if (!loaded.module)
        throw HException("Cannot load winusb.dll");
    // A table that is not complete is never used: it is dropped with its module.
    const auto require = [&](const char* name, auto& slot) {
        if (!resolveEntryPoint(api, loaded.module, name, slot)) {
            api.freeLibrary(loaded.module);
            throw HException(std::string("Cannot get address of ") + name);
        }
    };
    require("WinUsb_Initialize", loaded.Initialize);
    require("WinUsb_Free", loaded.Free);
    require("WinUsb_QueryInterfaceSettings", loaded.QueryInterfaceSettings);
    require("WinUsb_QueryPipe", loaded.QueryPipe);
    require("WinUsb_ReadPipe", loaded.ReadPipe);
    require("WinUsb_WritePipe", loaded.WritePipe);
    require("WinUsb_SetPipePolicy", loaded.SetPipePolicy);
    require("WinUsb_ControlTransfer", loaded.ControlTransfer);
    require("WinUsb_GetDescriptor", loaded.GetDescriptor);
    table = loaded;
}

}  // namespace platform
