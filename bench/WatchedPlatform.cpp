#include "bench/WatchedPlatform.h"

#include "platform/linux/LinuxPlatform.h"

namespace bench {

std::unique_ptr<platform::DeviceWatch> WatchedPlatform::watchDevices(platform::InterfaceClass cls) {
    return monitor ? platform::linuxWatchDevices(cls) : nullptr;
}

}  // namespace bench
