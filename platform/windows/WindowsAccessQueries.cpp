#include "platform/AccessQueries.h"
#include "platform/HException.h"
#include "platform/Platform.h"

namespace platform {

namespace {

// Opening is the one way to learn it: WinUsb_Initialize refuses a device WinUSB does not drive.
// A device that opens is closed again at once, untouched.
bool winUsbBound(const std::string& devicePath) {
    OpenFailure failure;
    try {
        return systemPlatform().tryOpenUsbDevice(devicePath, failure) ||
               failure.reason != OpenFailureReason::NoWinUsb;
    } catch (HException& e) {
        return !e.openFailure() || e.openFailure()->reason != OpenFailureReason::NoWinUsb;
    }
}

}  // namespace

AccessQueries systemAccessQueries() {
    AccessQueries queries;
    queries.winUsbBound = winUsbBound;
    return queries;
}

}  // namespace platform
