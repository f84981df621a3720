#pragma once

#include <string>

namespace platform {

// Why the system would not open a USB device or let its interface be claimed, so that the user
// can be told what to do about it. The links keep their own message and carry this beside it
// (HException::openFailure), so the window says what it always said and the command-line tool
// adds the way out. A plain value, copied freely between threads.
enum class OpenFailureReason {
    Unknown,       // the system said nothing more
    NoPermission,  // this user may not open the device node (EACCES, EPERM)
    Busy,          // another program holds the device or its interface (EBUSY)
    Gone,          // the device left the bus, or another device took its port (ENODEV, ENOENT)
    AccessDenied,  // Windows: ERROR_ACCESS_DENIED, another program has it open or no rights
    NoWinUsb,      // Windows: WinUSB is not the device's driver
};

struct OpenFailure {
    OpenFailureReason reason = OpenFailureReason::Unknown;
    int systemError = 0;  // the errno or Win32 error it came from; 0 when there was none
    std::string node;     // what was opened (Linux: /dev/bus/usb/BBB/DDD); empty when unknown
};

// The reason a POSIX error number of an open, ioctl or claim stands for.
OpenFailureReason reasonOfErrno(int error);

}  // namespace platform
