#include <cerrno>

#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/UdevClassSource.h"
#include "platform/linux/UdevHandles.h"

namespace platform {

namespace {

// The udev daemon's announcements for one subsystem, on the monitor's non-blocking socket. Its
// udev objects are made with it and live with it, so it stays on the thread that made it.
class UdevDeviceWatch final : public DeviceWatch {
public:
    UdevDeviceWatch(UdevHandle<udev> madeIn, UdevHandle<udev_monitor> opened)
        : context(std::move(madeIn)), monitor(std::move(opened)) {}

    bool mayHaveChanged() override {
        // Every queued event is taken now, so that the next question is not answered by one the
        // caller has already listed for. The daemon announces far slower than this reads.
        bool events = false;
        for (;;) {
            errno = 0;
            const UdevHandle<udev_device> event(udev_monitor_receive_device(monitor.get()));
            // EAGAIN: nothing more queued. Anything else (ENOBUFS when the socket overflowed
            // and events were lost) leaves the listing in doubt.
            if (!event)
                return events || (errno != EAGAIN && errno != EWOULDBLOCK);
            events = true;
        }
    }

private:
    UdevHandle<udev> context;
    UdevHandle<udev_monitor> monitor;
};

}  // namespace

bool udevDaemonRuns() {
    const UdevHandle<udev> context(udev_new());
    const UdevHandle<udev_queue> queue(context ? udev_queue_new(context.get()) : nullptr);
    return queue && udev_queue_get_udev_is_active(queue.get()) > 0;
}

std::unique_ptr<DeviceWatch> linuxWatchDevices(InterfaceClass cls) {
    const UdevClassSource* source = udevSourceFor(cls);
    if (!source)
        return nullptr;
    UdevHandle<udev> context(udev_new());
    if (!context)
        return nullptr;
    UdevHandle<udev_monitor> monitor(udev_monitor_new_from_netlink(context.get(), "udev"));
    if (!monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), source->subsystem,
                                                        source->devtype) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0)
        return nullptr;
    return std::make_unique<UdevDeviceWatch>(std::move(context), std::move(monitor));
}

}  // namespace platform
