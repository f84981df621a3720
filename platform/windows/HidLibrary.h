#pragma once

#include "platform/windows/SystemApi.h"

namespace platform {

// hid.dll, loaded at run time, and its twelve entry points; either complete or empty. The
// listing calls the three string queries.
struct HidLibrary {
    HMODULE module = nullptr;  // null: not loaded
    decltype(&HidD_GetAttributes) GetAttributes = nullptr;
    decltype(&HidD_GetSerialNumberString) GetSerialNumberString = nullptr;
    decltype(&HidD_GetManufacturerString) GetManufacturerString = nullptr;
    decltype(&HidD_GetProductString) GetProductString = nullptr;
    decltype(&HidD_SetFeature) SetFeature = nullptr;
    decltype(&HidD_GetFeature) GetFeature = nullptr;
    decltype(&HidD_GetIndexedString) GetIndexedString = nullptr;
    decltype(&HidD_GetPreparsedData) GetPreparsedData = nullptr;
    decltype(&HidD_FreePreparsedData) FreePreparsedData = nullptr;
    decltype(&HidP_GetCaps) GetCaps = nullptr;
    decltype(&HidD_SetNumInputBuffers) SetNumInputBuffers = nullptr;
    decltype(&HidD_GetNumInputBuffers) GetNumInputBuffers = nullptr;
};

// True when `table` is loaded, loading it first if need be; once complete it stays loaded for
// the life of the process. A library without all twelve entry points is released again and
// `table` stays empty, so the next call tries again. Not guarded: WindowsPlatform lets one open
// at a time call it.
bool loadHidLibrary(HidLibrary& table, const SystemApi& api);

}  // namespace platform
