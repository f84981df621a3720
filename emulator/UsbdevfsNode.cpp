#include "emulator/UsbdevfsNode.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <utility>

#include "emulator/StandardRequests.h"
#include "emulator/TestbedRecord.h"
#include "platform/LittleEndian.h"

namespace emulator {

namespace {

using Answer = UsbdevfsNode::Answer;

// What usbfs on a current kernel offers; with scatter-gather libusb submits every bulk
// transfer as one URB, however long.
constexpr uint32_t kCapabilities =
    USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
// USB_SPEED_FULL (linux/usb/ch9.h): the virtual probes move 64-byte full-speed packets.
constexpr long kFullSpeed = 2;
constexpr std::size_t kSetupSize = 8;
constexpr uint8_t kDirectionIn = 0x80;

Answer done(long result = 0) {
    return {result, 0};
}

Answer failed(int error) {
    return {-1, error};
}

// Copies of the client's memory, read and written whole: the resolved buffers carry no
// alignment promise for the kernel's structs.
// The kernel's usbdevfs_urb ends in a zero-length array, which clang's -Wpedantic reports
// wherever one is declared; the array is never touched here.
#ifdef __clang__
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wzero-length-array"
#endif
template <typename Struct>
Struct load(const UMockdevIoctlData& data) {
    Struct value{};
    std::memcpy(&value, data.data, sizeof value);
    return value;
}
#ifdef __clang__
#pragma clang diagnostic pop
#endif

template <typename Struct>
void store(UMockdevIoctlData& data, const Struct& value) {
    std::memcpy(data.data, &value, sizeof value);
}

// The `length` bytes that the pointer at `offset` of `data` points to in the client, as a local
// copy; null when the client's memory cannot be read.
GObjectPtr<UMockdevIoctlData> resolved(UMockdevIoctlData* data, std::size_t offset,
                                       std::size_t length) {
    GError* raw = nullptr;
    GObjectPtr<UMockdevIoctlData> local(umockdev_ioctl_data_resolve(data, offset, length, &raw));
    const GErrorPtr error(raw);
    if (error || !local || static_cast<std::size_t>(local->data_len) < length)
        return nullptr;
    return local;
}

std::span<uint8_t> bytesOf(const GObjectPtr<UMockdevIoctlData>& data) {
    if (!data)
        return {};
    return {data->data, static_cast<std::size_t>(data->data_len)};
}

sim::ControlSetup setupOf(std::span<const uint8_t> packet) {
    return {packet[0], packet[1], readLe16(&packet[2]), readLe16(&packet[4])};
}

}  // namespace

const UsbdevfsNode::RouteRow UsbdevfsNode::routes[] = {
    {USBDEVFS_CONNECTINFO, &UsbdevfsNode::connectInfo},
    {USBDEVFS_GET_SPEED, &UsbdevfsNode::speed},
    {USBDEVFS_GET_CAPABILITIES, &UsbdevfsNode::capabilities},
    {USBDEVFS_GETDRIVER, &UsbdevfsNode::driver},
    {USBDEVFS_IOCTL, &UsbdevfsNode::disconnectDriver},
    {USBDEVFS_CLAIMINTERFACE, &UsbdevfsNode::claim},
    {USBDEVFS_RELEASEINTERFACE, &UsbdevfsNode::release},
    {USBDEVFS_SETINTERFACE, &UsbdevfsNode::setInterface},
    {USBDEVFS_CLEAR_HALT, &UsbdevfsNode::clearHalt},
    {USBDEVFS_CONTROL, &UsbdevfsNode::control},
    {USBDEVFS_SUBMITURB, &UsbdevfsNode::submit},
    {USBDEVFS_DISCARDURB, &UsbdevfsNode::discard},
    {USBDEVFS_REAPURBNDELAY, &UsbdevfsNode::reap},
    // The blocking reap is answered like the non-blocking one: libusb never asks for it.
    {USBDEVFS_REAPURB, &UsbdevfsNode::reap},
};

UsbdevfsNode::UsbdevfsNode(NodeBinding bound)
    : binding(std::move(bound)),
      probe(dynamic_cast<sim::VirtualProbe*>(binding.device.get())),
      ioctlBase(umockdev_ioctl_base_new()) {
    g_signal_connect(ioctlBase.get(), "handle-ioctl", G_CALLBACK(&UsbdevfsNode::onIoctl), this);
    g_signal_connect(ioctlBase.get(), "client-connected", G_CALLBACK(&UsbdevfsNode::onConnected),
                     this);
}

UsbdevfsNode::~UsbdevfsNode() {
    g_signal_handlers_disconnect_by_data(ioctlBase.get(), this);
}

std::string UsbdevfsNode::nodePath() const {
    return usbNodePath(binding.busnum, binding.devnum);
}

void UsbdevfsNode::bindDriver(unsigned interfaceNumber, std::string name) {
    const std::lock_guard lock(driversMutex);
    drivers[interfaceNumber] = std::move(name);
}

std::optional<std::string> UsbdevfsNode::boundDriver(unsigned interfaceNumber) const {
    const std::lock_guard lock(driversMutex);
    const auto bound = drivers.find(interfaceNumber);
    return bound == drivers.end() ? std::nullopt : std::optional(bound->second);
}

gboolean UsbdevfsNode::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    Answer answer = failed(EIO);
    try {
        answer = static_cast<UsbdevfsNode*>(self)->serve(client);
    } catch (...) {
        // Nothing may unwind into umockdev's C frames; the client sees an I/O error.
    }
    umockdev_ioctl_client_complete(client, answer.result, answer.error);
    return TRUE;
}

void UsbdevfsNode::onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    auto& node = *static_cast<UsbdevfsNode*>(self);
    node.forgetClosedFiles();
    node.clientOf(client);
}

void UsbdevfsNode::forgetClosedFiles() {
    // Closing a file releases its claims and drops its URBs, as usbfs does. umockdev marks a
    // client as disconnected when its file closes (its "client-vanished" signal does not come
    // in every version), so closed files are looked for whenever the node is used.
    std::erase_if(clients, [](const auto& entry) {
        return !umockdev_ioctl_client_get_connected(entry.second.connection.get());
    });
}

UsbdevfsNode::Client& UsbdevfsNode::clientOf(UMockdevIoctlClient* connection) {
    Client& client = clients[connection];
    if (!client.connection)
        client.connection.reset(static_cast<UMockdevIoctlClient*>(g_object_ref(connection)));
    return client;
}

UsbdevfsNode::Answer UsbdevfsNode::serve(UMockdevIoctlClient* ioctlClient) {
    const unsigned long request = umockdev_ioctl_client_get_request(ioctlClient);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(ioctlClient);
    forgetClosedFiles();
    Client& client = clientOf(ioctlClient);
    const RouteRow* row = nullptr;
    for (const RouteRow& candidate : routes) {
        if (candidate.request == request)
            row = &candidate;
    }
    if (!row)
        return failed(ENOTTY);
    // URBs that completed before the device left stay reapable.
    const bool reaping = row->route == &UsbdevfsNode::reap;
    if (!reaping) {
        if (client.refused != 0)
            return failed(client.refused);
        if (!isCurrent())
            return failed(ENODEV);
        if (!client.handle) {
            platform::OpenFailure failure;
            client.handle = binding.bus->tryOpenUsbDevice(binding.sysfsPath, failure);
            if (!client.handle) {
                client.refused = failure.systemError != 0 ? failure.systemError : EACCES;
                return failed(client.refused);
            }
        }
    }
    if (!arg)
        return failed(EFAULT);
    return (this->*(row->route))(client, arg);
}

bool UsbdevfsNode::isCurrent() const {
    const std::optional<sim::VirtualBus::Node> node = binding.bus->nodeOf(binding.sysfsPath);
    return node && node->bus == binding.busnum && node->device == binding.devnum;
}

bool UsbdevfsNode::readWouldWait() const {
    // The bridge chip answers every read with its status bytes once its latency timer runs
    // out; a plain bulk pipe stays silent until the probe has a reply.
    return probe && probe->variant().face == sim::UsbFaceKind::PlainBulk &&
           probe->pendingReplyBytes() == 0;
}

// ---- Device information ----

UsbdevfsNode::Answer UsbdevfsNode::connectInfo(Client&, UMockdevIoctlData* arg) {
    const GObjectPtr<UMockdevIoctlData> info = resolved(arg, 0, sizeof(usbdevfs_connectinfo));
    if (!info)
        return failed(EFAULT);
    usbdevfs_connectinfo value{};
    value.devnum = static_cast<unsigned>(binding.devnum);
    value.slow = 0;
    store(*info, value);
    return done();
}

UsbdevfsNode::Answer UsbdevfsNode::speed(Client&, UMockdevIoctlData*) {
    return done(kFullSpeed);
}

UsbdevfsNode::Answer UsbdevfsNode::capabilities(Client&, UMockdevIoctlData* arg) {
    const GObjectPtr<UMockdevIoctlData> caps = resolved(arg, 0, sizeof(uint32_t));
    if (!caps)
        return failed(EFAULT);
    store(*caps, kCapabilities);
    return done();
}

UsbdevfsNode::Answer UsbdevfsNode::driver(Client&, UMockdevIoctlData* arg) {
    const GObjectPtr<UMockdevIoctlData> query = resolved(arg, 0, sizeof(usbdevfs_getdriver));
    if (!query)
        return failed(EFAULT);
    auto value = load<usbdevfs_getdriver>(*query);
    const std::optional<std::string> name = boundDriver(value.interface);
    if (!name)
        return failed(ENODATA);
    std::snprintf(value.driver, sizeof value.driver, "%s", name->c_str());
    store(*query, value);
    return done();
}

UsbdevfsNode::Answer UsbdevfsNode::disconnectDriver(Client&, UMockdevIoctlData* arg) {
    const GObjectPtr<UMockdevIoctlData> command = resolved(arg, 0, sizeof(usbdevfs_ioctl));
    if (!command)
        return failed(EFAULT);
    const auto value = load<usbdevfs_ioctl>(*command);
    if (value.ioctl_code != static_cast<int>(USBDEVFS_DISCONNECT))
        return failed(ENOTTY);  // no emulated interface has a driver that takes requests
    const std::lock_guard lock(driversMutex);
    return drivers.erase(static_cast<unsigned>(value.ifno)) > 0 ? done() : failed(ENODATA);
}

// ---- Interfaces ----

UsbdevfsNode::Answer UsbdevfsNode::claim(Client& client, UMockdevIoctlData* arg) {
    const GObjectPtr<UMockdevIoctlData> number = resolved(arg, 0, sizeof(unsigned));
    if (!number)
        return failed(EFAULT);
    const auto interfaceNumber = load<unsigned>(*number);
    if (interfaceNumber > 0xFF)
        return failed(EINVAL);
    if (boundDriver(interfaceNumber))
        return failed(EBUSY);  // as usbfs: the kernel driver holds the interface
    if (client.handle->claimInterface(static_cast<int>(interfaceNumber)))
        return done();
    const int error = client.handle->claimFailure().systemError;
    return failed(error != 0 ? error : EBUSY);
}

UsbdevfsNode::Answer UsbdevfsNode::release(Client&, UMockdevIoctlData*) {
    // The virtual bus frees a handle's claims when it closes, which is when the file closes.
    return done();
}

UsbdevfsNode::Answer UsbdevfsNode::setInterface(Client&, UMockdevIoctlData* arg) {
    const GObjectPtr<UMockdevIoctlData> setting = resolved(arg, 0, sizeof(usbdevfs_setinterface));
    if (!setting)
        return failed(EFAULT);
    return load<usbdevfs_setinterface>(*setting).altsetting == 0 ? done() : failed(EINVAL);
}

UsbdevfsNode::Answer UsbdevfsNode::clearHalt(Client&, UMockdevIoctlData*) {
    return done();  // the virtual pipes never halt for good
}

// ---- Transfers ----

int UsbdevfsNode::runControl(Client& client, std::span<uint8_t> setupAndData) {
    const sim::ControlSetup setup = setupOf(setupAndData.first(kSetupSize));
    const uint16_t wLength = readLe16(&setupAndData[6]);
    std::span<uint8_t> data = setupAndData.subspan(kSetupSize);
    if (data.size() > wLength)
        data = data.first(wLength);
    if (const std::optional<int> standard =
            answerStandardRequest(setup, data, binding.device->descriptor(), binding.descriptors))
        return *standard;
    return client.handle->controlTransfer(setup.requestType, setup.request, setup.value,
                                          setup.index, data.data(),
                                          static_cast<uint16_t>(data.size()), 0);
}

UsbdevfsNode::Answer UsbdevfsNode::control(Client& client, UMockdevIoctlData* arg) {
    const GObjectPtr<UMockdevIoctlData> transfer = resolved(arg, 0, sizeof(usbdevfs_ctrltransfer));
    if (!transfer)
        return failed(EFAULT);
    const auto request = load<usbdevfs_ctrltransfer>(*transfer);
    GObjectPtr<UMockdevIoctlData> data;
    if (request.wLength > 0) {
        data = resolved(transfer.get(), offsetof(usbdevfs_ctrltransfer, data), request.wLength);
        if (!data)
            return failed(EFAULT);
    }
    std::vector<uint8_t> packet{request.bRequestType,
                                request.bRequest,
                                static_cast<uint8_t>(request.wValue & 0xFF),
                                static_cast<uint8_t>(request.wValue >> 8),
                                static_cast<uint8_t>(request.wIndex & 0xFF),
                                static_cast<uint8_t>(request.wIndex >> 8),
                                static_cast<uint8_t>(request.wLength & 0xFF),
                                static_cast<uint8_t>(request.wLength >> 8)};
    const std::span<uint8_t> stage = bytesOf(data);
    packet.insert(packet.end(), stage.begin(), stage.end());
    const int moved = runControl(client, packet);
    binding.busChanged();
    if (moved < 0)
        return failed(isCurrent() ? EPIPE : ENODEV);
    if (!stage.empty() && (request.bRequestType & kDirectionIn) != 0)
        std::memcpy(stage.data(), packet.data() + kSetupSize, stage.size());
    return done(moved);
}

int UsbdevfsNode::runBulk(Client& client, Urb& urb) {
    const auto fields = load<usbdevfs_urb>(*urb.urb);
    const std::span<uint8_t> bytes = bytesOf(urb.buffer);
    return client.handle->bulkTransfer(fields.endpoint, bytes.data(),
                                       static_cast<int>(bytes.size()), 0);
}

void UsbdevfsNode::complete(Client& client, Urb urb, int moved) {
    auto fields = load<usbdevfs_urb>(*urb.urb);
    fields.actual_length = moved > 0 ? moved : 0;
    // A failure on a device still present is a stall; otherwise the device is gone.
    fields.status = moved >= 0 ? 0 : isCurrent() ? -EPIPE : -ESHUTDOWN;
    store(*urb.urb, fields);
    client.completed.push_back(std::move(urb));
}

UsbdevfsNode::Answer UsbdevfsNode::submit(Client& client, UMockdevIoctlData* arg) {
    Urb urb;
    urb.urb = resolved(arg, 0, sizeof(usbdevfs_urb));
    if (!urb.urb)
        return failed(EFAULT);
    const auto fields = load<usbdevfs_urb>(*urb.urb);
    if (fields.buffer_length < 0)
        return failed(EINVAL);
    if (fields.buffer_length > 0) {
        urb.buffer = resolved(urb.urb.get(), offsetof(usbdevfs_urb, buffer),
                              static_cast<std::size_t>(fields.buffer_length));
        if (!urb.buffer)
            return failed(EFAULT);
    }
    switch (fields.type) {
        case USBDEVFS_URB_TYPE_CONTROL: {
            const std::span<uint8_t> bytes = bytesOf(urb.buffer);
            if (bytes.size() < kSetupSize)
                return failed(EINVAL);
            const int moved = runControl(client, bytes);
            complete(client, std::move(urb), moved);
            break;
        }
        case USBDEVFS_URB_TYPE_BULK:
            if ((fields.endpoint & kDirectionIn) != 0 && readWouldWait()) {
                client.waiting.push_back(std::move(urb));
                return done();
            } else {
                const int moved = runBulk(client, urb);
                complete(client, std::move(urb), moved);
            }
            break;
        default:
            return failed(EINVAL);  // no emulated device has interrupt or isochronous pipes
    }
    binding.busChanged();
    return done();
}

void UsbdevfsNode::serviceWaiting(Client& client) {
    bool ran = false;
    while (!client.waiting.empty()) {
        Urb& front = client.waiting.front();
        int moved = -1;
        if (isCurrent() && client.handle) {
            if (readWouldWait())
                break;
            moved = runBulk(client, front);
            ran = true;
        }
        complete(client, std::move(front), moved);
        client.waiting.erase(client.waiting.begin());
    }
    if (ran)
        binding.busChanged();
}

UsbdevfsNode::Answer UsbdevfsNode::discard(Client& client, UMockdevIoctlData* arg) {
    // The argument is the URB's address in the client.
    gulong address = 0;
    if (static_cast<std::size_t>(arg->data_len) < sizeof address)
        return failed(EFAULT);
    std::memcpy(&address, arg->data, sizeof address);
    for (auto it = client.waiting.begin(); it != client.waiting.end(); ++it) {
        if (it->urb->client_addr != address)
            continue;
        auto fields = load<usbdevfs_urb>(*it->urb);
        fields.status = -ENOENT;
        fields.actual_length = 0;
        store(*it->urb, fields);
        client.completed.push_back(std::move(*it));
        client.waiting.erase(it);
        return done();
    }
    return failed(EINVAL);  // completed already, or never submitted here
}

UsbdevfsNode::Answer UsbdevfsNode::reap(Client& client, UMockdevIoctlData* arg) {
    serviceWaiting(client);
    if (client.completed.empty())
        return failed(isCurrent() ? EAGAIN : ENODEV);
    const GObjectPtr<UMockdevIoctlData> slot = resolved(arg, 0, sizeof(void*));
    if (!slot)
        return failed(EFAULT);
    // The client gets its own URB's address back; the URB and its buffer are written back with
    // it when the call completes.
    if (!umockdev_ioctl_data_set_ptr(slot.get(), 0, client.completed.front().urb.get()))
        return failed(EFAULT);
    client.completed.pop_front();
    return done();
}

}  // namespace emulator
