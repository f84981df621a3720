#include "sim/VirtualClock.h"

namespace sim {

VirtualClockScope::VirtualClockScope(std::function<void()> sleptMs) {
    auto owned = std::make_unique<VirtualClock>(std::move(sleptMs));
    virtualClock = owned.get();
    previous = platform::installClock(std::move(owned));
}

VirtualClockScope::~VirtualClockScope() {
    platform::installClock(std::move(previous));
}

}  // namespace sim
