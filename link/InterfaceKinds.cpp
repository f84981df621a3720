#include "link/InterfaceKinds.h"

#include <array>

#include "platform/InterfaceClassGuids.h"

namespace {

using platform::InterfaceClass;
using platform::interfaceClassGuid;

constexpr std::array<InterfaceKind, 5> interfaceKinds{{
    {0, InterfaceClass::UsbDevice, interfaceClassGuid(InterfaceClass::UsbDevice)},
    {3, InterfaceClass::Hid, interfaceClassGuid(InterfaceClass::Hid)},
    {0x100, InterfaceClass::Extra1, interfaceClassGuid(InterfaceClass::Extra1)},
    {0x101, InterfaceClass::Extra2, interfaceClassGuid(InterfaceClass::Extra2)},
    {0x102, InterfaceClass::Extra3, interfaceClassGuid(InterfaceClass::Extra3)},
}};

}  // namespace

const InterfaceKind& interfaceKindFor(uint32_t kind) {
    for (const auto& row : interfaceKinds) {
        if (row.kind == kind)
            return row;
    }
    return interfaceKinds.front();
}
