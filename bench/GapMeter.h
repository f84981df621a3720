#pragma once

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace bench {

// The longest stretch between two consecutive marks within one run (one update), kept for every
// run: how long the GUI thread goes without a progress report, or without a pass of its event
// loop. The median over runs is the figure.
//
// On the monotonic clock a stretch also holds whatever the machine did meanwhile (another
// process taking the core); on the process CPU clock it holds only this process's work, its
// helper threads' included (Qt hands large fills to a thread pool).
class GapMeter {
public:
    explicit GapMeter(clockid_t clockId = CLOCK_MONOTONIC) : clock(clockId) {}

    void start() {
        last = nowNs();
        longest = 0;
    }
    void mark() {
        const int64_t now = nowNs();
        longest = std::max(longest, now - last);
        last = now;
        ++count;
    }
    // Ends the run begun by start().
    void finish() {
        mark();
        runs.push_back(static_cast<double>(longest) / 1000.0);
    }

    double medianUs() const {
        if (runs.empty())
            return 0;
        std::vector<double> sorted = runs;
        std::nth_element(sorted.begin(),
                         sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2),
                         sorted.end());
        return sorted[sorted.size() / 2];
    }
    double worstUs() const {
        return runs.empty() ? 0 : *std::max_element(runs.begin(), runs.end());
    }
    int64_t marks() const { return count; }

private:
    int64_t nowNs() const {
        timespec now{};
        clock_gettime(clock, &now);
        return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
    }

    const clockid_t clock;
    int64_t last = 0;
    int64_t longest = 0;
    int64_t count = 0;
    std::vector<double> runs;
};

}  // namespace bench
