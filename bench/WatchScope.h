#pragma once

#include <memory>

namespace bench {

// For its lifetime the process's platform lists and opens devices as before, and is watched as
// the benchmark chooses: by the Linux udev monitor, made even where no udev daemon runs (a
// testbed stands in for it, or a quiet machine sends nothing), or by nothing, so that every tick
// lists. Made before the window whose poll it serves, destroyed after it.
class WatchScope {
public:
    explicit WatchScope(bool udevMonitor);
    ~WatchScope();
    WatchScope(const WatchScope&) = delete;
    WatchScope& operator=(const WatchScope&) = delete;

    class Watched;

private:
    Watched* installed;
};

}  // namespace bench
