#include "platform/windows/SystemApi.h"

namespace platform {

SystemApi systemApi() {
    SystemApi api{};
    api.getClassDevs = &SetupDiGetClassDevsA;
    api.enumDeviceInterfaces = &SetupDiEnumDeviceInterfaces;
    api.getDeviceInterfaceDetail = &SetupDiGetDeviceInterfaceDetailA;
    api.getDeviceInstanceId = &SetupDiGetDeviceInstanceIdA;
    api.getDeviceRegistryProperty = &SetupDiGetDeviceRegistryPropertyA;
    api.destroyDeviceInfoList = &SetupDiDestroyDeviceInfoList;
    api.getLastError = &GetLastError;
    api.createFile = &CreateFileA;
    api.closeHandle = &CloseHandle;
    api.createEvent = &CreateEventA;
    api.waitForSingleObject = &WaitForSingleObject;
    api.getOverlappedResult = &GetOverlappedResult;
    api.cancelIoEx = &CancelIoEx;
    api.loadLibrary = &LoadLibraryA;
    api.getProcAddress = &GetProcAddress;
    api.freeLibrary = &FreeLibrary;
    return api;
}

}  // namespace platform
