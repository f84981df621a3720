#include "platform/windows/HidLibrary.h"

#include "platform/windows/EntryPoints.h"

namespace platform {

bool loadHidLibrary(HidLibrary& table, const SystemApi& api) {
    if (table.module)
        return true;
    HidLibrary loaded;
    loaded.module = api.loadLibrary("hid.dll");
    if (!loaded.module)
        return false;
    const auto has = [&](const char* name, auto& slot) {
        return resolveEntryPoint(api, loaded.module, name, slot);
    };
    const bool complete = has("HidD_GetAttributes", loaded.GetAttributes) &&
                          has("HidD_GetSerialNumberString", loaded.GetSerialNumberString) &&
                          has("HidD_GetManufacturerString", loaded.GetManufacturerString) &&
                          has("HidD_GetProductString", loaded.GetProductString) &&
                          has("HidD_SetFeature", loaded.SetFeature) &&
                          has("HidD_GetFeature", loaded.GetFeature) &&
                          has("HidD_GetIndexedString", loaded.GetIndexedString) &&
                          has("HidD_GetPreparsedData", loaded.GetPreparsedData) &&
                          has("HidD_FreePreparsedData", loaded.FreePreparsedData) &&
                          has("HidP_GetCaps", loaded.GetCaps) &&
                          has("HidD_SetNumInputBuffers", loaded.SetNumInputBuffers) &&
                          has("HidD_GetNumInputBuffers", loaded.GetNumInputBuffers);
    if (!complete) {
        api.freeLibrary(loaded.module);
        return false;
    }
    table = loaded;
    return true;
}

}  // namespace platform
