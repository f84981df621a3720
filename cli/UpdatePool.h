#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "cli/UpdateEvents.h"
#include "firmware/UpdateRecord.h"
#include "link/USBDeviceInfo.h"
#include "platform/Context.h"
#include "platform/Interrupt.h"

namespace cli {

// Updates probes on worker threads (std::jthread), at most `jobs` at once (0: no limit), each
// with links of its own (updateProbe). Every member may be called from any thread; `events` is
// told from the workers and must outlive the pool, as must `interrupt`: once it has been pressed
// a worker takes up no queued probe, as after stop(), whoever notices the press first.
class UpdatePool {
public:
    UpdatePool(platform::Context context, UpdateEvents& events, bool force, unsigned jobs = 0,
               const platform::Interrupt* interrupt = nullptr);
    ~UpdatePool();  // stop() then wait()
    UpdatePool(const UpdatePool&) = delete;
    UpdatePool& operator=(const UpdatePool&) = delete;

    // Queues `device`; a worker takes it up when fewer than `jobs` run. May be called while
    // others run; ignored after close() or stop().
    void submit(const USBDeviceInfo& device);
    // No more submissions; the workers end when the queue is empty.
    void close();
    // Drops the queued ones that have not started (unfinished() names them); the running ones
    // finish, since stopping an update part-way would leave a probe half written.
    void stop();
    // After close() or stop(): every finished record, in finishing order.
    std::vector<UpdateRecord> wait();
    // Submitted but never started (after stop).
    std::vector<USBDeviceInfo> unfinished() const;

private:
    void work();
    void dropQueued();  // with the lock held

    platform::Context context;
    UpdateEvents& events;
    const bool force;
    const unsigned jobs;
    const platform::Interrupt* const interrupt;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<USBDeviceInfo> queue;
    std::vector<USBDeviceInfo> dropped;
    std::vector<UpdateRecord> records;
    std::size_t running = 0;
    bool closed = false;
    std::vector<std::jthread> workers;
};

}  // namespace cli
