#pragma once

#include <cstdint>

#include "platform/Platform.h"

// One interface kind the enumeration accepts: the device interface class it lists and that
// class's identifier.
struct InterfaceKind {
    uint32_t kind;
    platform::InterfaceClass interfaceClass;
    const char* classGuid;
};

// The row for `kind`. Kinds without a row of their own list the generic USB device class.
const InterfaceKind& interfaceKindFor(uint32_t kind);
