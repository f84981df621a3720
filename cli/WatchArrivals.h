#pragma once

#include <map>
#include <string>
#include <vector>

#include "link/USBDeviceInfo.h"

namespace cli {

// What `watch` has seen of each probe, by serial number, so that each stay on the bus is one
// arrival. A probe that leaves the bus while an update of it runs (it restarts into its loader,
// or the update waits for it) is still the same stay; one that leaves while none runs has been
// unplugged, and its next arrival is new. So a probe is updated once per plugging in, and one
// that cannot be updated is named once per plugging in. One thread asks it (the watch's loop).
class WatchArrivals {
public:
    // The probes of `listed` (one listing of the attached probes) that arrived since the last
    // listing, in its order, each serial number once; forgets the probes it knew that are gone
    // while nothing of theirs runs.
    std::vector<USBDeviceInfo> arrivals(const std::vector<USBDeviceInfo>& listed);

    // An update of `serial` was handed out (queued counts: it will touch the probe), or ended.
    void started(const std::string& serial);
    void ended(const std::string& serial);

private:
    std::map<std::string, bool> known;  // serial number -> an update of it runs
};

}  // namespace cli
