#include <utility>

#include "sim/VirtualDevice.h"

namespace sim {

PassiveDevice::PassiveDevice(DeviceDescriptor descriptor) : own(std::move(descriptor)) {}

void PassiveDevice::attached(uint64_t attachment, AttachReason, platform::Clock&) {
    std::lock_guard lock(mutex);
    current = attachment;
}

void PassiveDevice::detached() {
    std::lock_guard lock(mutex);
    current = 0;
}

bool PassiveDevice::open(uint64_t attachment) {
    std::lock_guard lock(mutex);
    return attachment != 0 && attachment == current;
}

std::shared_ptr<PassiveDevice> makePassiveDevice(DeviceDescriptor descriptor) {
    return std::make_shared<PassiveDevice>(std::move(descriptor));
}

std::shared_ptr<PassiveDevice> makeHub() {
    return makePassiveDevice({0x0F0F, 0x0001, "", std::nullopt, "USB 2.0 Hub"});
}

std::shared_ptr<PassiveDevice> makeMouse() {
    return makePassiveDevice({0x0F0F, 0x0002, "", "Generic", "Optical Mouse"});
}

}  // namespace sim
