#include "link/InterfaceKinds.h"

#include <array>

namespace {

using platform::InterfaceClass;

// The generic USB device and HID classes carry the identifiers the USB world knows them by; the
// three further classes are ours and nothing in this program asks for them.
constexpr std::array<InterfaceKind, 5> interfaceKinds{{
    {0, InterfaceClass::UsbDevice, "{A5DCBF10-6530-11D2-901F-00C04FB951ED}"},
    {3, InterfaceClass::Hid, "{4D1E55B2-F16F-11CF-88CB-001111000030}"},
    {0x100, InterfaceClass::Extra1, "{C70D5EC4-A8AB-4638-B044-C86042954CA8}"},
    {0x101, InterfaceClass::Extra2, "{BB4D7AAF-C169-4901-BD2F-37775EB06732}"},
    {0x102, InterfaceClass::Extra3, "{24623093-8483-42C7-94D1-193914C7DF67}"},
}};

}  // namespace

const InterfaceKind& interfaceKindFor(uint32_t kind) {
    for (const auto& row : interfaceKinds) {
        if (row.kind == kind)
            return row;
    }
    return interfaceKinds.front();
}
