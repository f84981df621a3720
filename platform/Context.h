#pragma once

#include "platform/Clock.h"
#include "platform/Platform.h"

namespace platform {

// The system and the time that code which lists, opens or waits runs on, handed down to it as a
// USB library hands down its context: links, the enumeration, the update, the window and the
// command-line tool take one and reach for nothing else. The program runs on systemContext();
// tests, benchmarks and the emulator hand in a virtual bus and a virtual clock. A plain pair of
// references, copied freely; both must outlive whatever was handed the context. Both may be used
// from several threads at once (Platform.h, Clock.h), so workers may share one context.
struct Context {
    Platform& platform;
    Clock& clock;
};

// The program's own: the system platform and the steady clock.
inline Context systemContext() {
    return {systemPlatform(), steadyClock()};
}

}  // namespace platform
