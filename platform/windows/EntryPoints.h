#pragma once

#include "platform/windows/SystemApi.h"

namespace platform {

// Looks `name` up in `module` and stores it in `slot` with the slot's own type. False (and a
// null slot) when the module lacks it.
template <typename Function>
bool resolveEntryPoint(const SystemApi& api, HMODULE module, const char* name, Function& slot) {
    const FARPROC found = api.getProcAddress(module, name);
    // void(*)() converts to and from every function pointer type without a cast warning.
    slot = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
    return found != nullptr;
}

}  // namespace platform
