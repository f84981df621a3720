#include "sim/VirtualClock.h"

namespace sim {

VirtualClockScope::VirtualClockScope() {
    auto owned = std::make_unique<VirtualClock>();
    virtualClock = owned.get();
    previous = platform::installClock(std::move(owned));
}

VirtualClockScope::~VirtualClockScope() {
    platform::installClock(std::move(previous));
}

}  // namespace sim
