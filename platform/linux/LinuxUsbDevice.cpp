#include <fcntl.h>
#include <libusb.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/UniqueFd.h"
#include "platform/linux/UsbDeviceNode.h"

namespace platform {

namespace {

struct ContextExit {
    void operator()(libusb_context* context) const { libusb_exit(context); }
};
struct HandleClose {
    void operator()(libusb_device_handle* handle) const { libusb_close(handle); }
};
struct ConfigFree {
    void operator()(libusb_config_descriptor* config) const {
        libusb_free_config_descriptor(config);
    }
};
using HandlePtr = std::unique_ptr<libusb_device_handle, HandleClose>;
using ConfigPtr = std::unique_ptr<libusb_config_descriptor, ConfigFree>;

// One context for the process, made at the first open that succeeds in making it: a set-up that
// failed (no file descriptors left, say) is tried again at the next open rather than remembered.
// Devices are handed to libusb as open file descriptors, so it never scans the bus and needs no
// udev of its own. libusb allows one context to serve several threads at once, each with devices
// of its own; only making it is guarded here, so that two first opens cannot both make one.
libusb_context* sharedContext() {
    static std::mutex making;
    static std::unique_ptr<libusb_context, ContextExit> context;
    const std::lock_guard lock(making);
    if (!context) {
        libusb_set_option(nullptr, LIBUSB_OPTION_NO_DEVICE_DISCOVERY);
        libusb_context* made = nullptr;
        if (libusb_init(&made) == LIBUSB_SUCCESS)
            context.reset(made);
    }
    return context.get();
}

// The errno behind a libusb error, for the few that say why a device cannot be had.
int errnoOfLibusbError(int error) {
    switch (error) {
        case LIBUSB_ERROR_ACCESS:
            return EACCES;
        case LIBUSB_ERROR_BUSY:
            return EBUSY;
        case LIBUSB_ERROR_NO_DEVICE:
            return ENODEV;
        case LIBUSB_ERROR_NOT_FOUND:
            return ENOENT;
        default:
            return 0;
    }
}

OpenFailure failureOf(int error, const std::string& node) {
    return {reasonOfErrno(error), error, node};
}

// libusb reads a time-out of 0 as "wait for ever"; the interface promises a bound.
unsigned boundedTimeout(unsigned timeoutMs) {
    return timeoutMs == 0 ? 1 : timeoutMs;
}

// One thread at a time, as every UsbDevice; devices of one context may be used from several
// threads at once.
class LinuxUsbDevice final : public UsbDevice {
public:
    LinuxUsbDevice(UniqueFd descriptor, HandlePtr handle_, ConfigPtr config_, std::string node_)
        : fd(std::move(descriptor)),
          handle(std::move(handle_)),
          config(std::move(config_)),
          node(std::move(node_)) {}

    // Members then go in reverse order: the libusb handle before the descriptor it wraps. A
    // kernel driver detached at claim time is left detached: re-binding it (a serial driver on
    // a bridge) would only invite other programs to poke the probe.
    ~LinuxUsbDevice() override {
        if (claimed >= 0)
            libusb_release_interface(handle.get(), claimed);
    }

    std::optional<UsbIdentity> identity() override {
        // The device descriptor was read through the node when the device was wrapped; the
        // serial number string is asked of the device itself.
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(libusb_get_device(handle.get()), &descriptor) !=
            LIBUSB_SUCCESS)
            return UsbIdentity{};
        UsbIdentity found{descriptor.idVendor, descriptor.idProduct, {}};
        if (descriptor.iSerialNumber != 0) {
            std::array<unsigned char, 256> text{};
            const int length = libusb_get_string_descriptor_ascii(
                handle.get(), descriptor.iSerialNumber, text.data(), static_cast<int>(text.size()));
            if (length < 0)
                return UsbIdentity{};
            found.serialNumber.assign(reinterpret_cast<const char*>(text.data()),
                                      static_cast<std::size_t>(length));
        }
        return found;
    }

    int interfaceOfEndpoint(uint8_t endpoint) override {
        if (!config)
            return -1;
        for (int i = 0; i < config->bNumInterfaces; ++i) {
            const libusb_interface& iface = config->interface[i];
            for (int a = 0; a < iface.num_altsetting; ++a) {
                const libusb_interface_descriptor& setting = iface.altsetting[a];
                for (int e = 0; e < setting.bNumEndpoints; ++e)
                    if (setting.endpoint[e].bEndpointAddress == endpoint)
                        return setting.bInterfaceNumber;
            }
        }
        return -1;
    }

    bool claimInterface(int interfaceNumber) override {
        if (claimed == interfaceNumber)
            return true;
        if (claimed >= 0)
            return false;  // one interface per device object
        int result = LIBUSB_SUCCESS;
        if (libusb_kernel_driver_active(handle.get(), interfaceNumber) == 1)
            result = libusb_detach_kernel_driver(handle.get(), interfaceNumber);
        if (result == LIBUSB_SUCCESS)
            result = libusb_claim_interface(handle.get(), interfaceNumber);
        if (result != LIBUSB_SUCCESS) {
            lastClaimFailure = failureOf(errnoOfLibusbError(result), node);
            return false;
        }
        claimed = interfaceNumber;
        return true;
    }

    OpenFailure claimFailure() const override { return lastClaimFailure; }

    int bulkTransfer(uint8_t endpoint, void* data, int length, unsigned timeoutMs) override {
        // On a time-out libusb has cancelled and reaped the transfer before it returns, so
        // `data` is never written afterwards; bytes moved before it ran out are not reported.
        int moved = 0;
        const int result =
            libusb_bulk_transfer(handle.get(), endpoint, static_cast<unsigned char*>(data), length,
                                 &moved, boundedTimeout(timeoutMs));
        return result == LIBUSB_SUCCESS ? moved : -1;
    }

    int controlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                        void* data, uint16_t length, unsigned timeoutMs) override {
        const int result = libusb_control_transfer(handle.get(), requestType, request, value, index,
                                                   static_cast<unsigned char*>(data), length,
                                                   boundedTimeout(timeoutMs));
        return result >= 0 ? result : -1;
    }

private:
    UniqueFd fd;
    HandlePtr handle;
    ConfigPtr config;
    std::string node;
    OpenFailure lastClaimFailure;
    int claimed = -1;
};

}  // namespace

std::unique_ptr<UsbDevice> linuxOpenUsbDevice(const std::string& devicePath, OpenFailure& failure) {
    const auto node = usbDeviceNodeOf(devicePath);
    if (!node) {
        failure = {OpenFailureReason::Gone, ENODEV, {}};  // the port holds no device now
        return nullptr;
    }
    UniqueFd fd(::open(node->c_str(), O_RDWR | O_CLOEXEC));
    if (!fd) {
        failure = failureOf(errno, *node);
        return nullptr;
    }
    libusb_context* context = sharedContext();
    if (!context) {
        failure = {OpenFailureReason::Unknown, 0, *node};
        return nullptr;
    }
    libusb_device_handle* wrapped = nullptr;
    if (libusb_wrap_sys_device(context, static_cast<intptr_t>(fd.get()), &wrapped) !=
        LIBUSB_SUCCESS) {
        // libusb reports a refused ioctl as an I/O error; asking the node again gives its errno
        // (a device gone since the open answers ENODEV).
        usbdevfs_connectinfo info{};
        const bool answers = ::ioctl(fd.get(), USBDEVFS_CONNECTINFO, &info) == 0;
        failure = failureOf(answers ? 0 : errno, *node);
        return nullptr;
    }
    HandlePtr handle(wrapped);
    // Without descriptors no endpoint is found, and the link reports that it cannot claim.
    libusb_config_descriptor* rawConfig = nullptr;
    if (libusb_get_active_config_descriptor(libusb_get_device(handle.get()), &rawConfig) !=
        LIBUSB_SUCCESS)
        rawConfig = nullptr;
    return std::make_unique<LinuxUsbDevice>(std::move(fd), std::move(handle), ConfigPtr(rawConfig),
                                            *node);
}

std::unique_ptr<UsbDevice> linuxOpenUsbDevice(const std::string& devicePath) {
    OpenFailure ignored;
    return linuxOpenUsbDevice(devicePath, ignored);
}

}  // namespace platform
