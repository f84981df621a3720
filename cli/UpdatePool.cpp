#include "cli/UpdatePool.h"

#include "cli/ProbeUpdate.h"

namespace cli {

UpdatePool::UpdatePool(platform::Context on, UpdateEvents& sink, bool forced, unsigned most,
                       const platform::Interrupt* pressed)
    : context(on), events(sink), force(forced), jobs(most), interrupt(pressed) {}

UpdatePool::~UpdatePool() {
    stop();
    wait();
}

void UpdatePool::submit(const USBDeviceInfo& device) {
    const std::lock_guard lock(mutex);
    if (closed)
        return;
    queue.push_back(device);
    // A worker ends when it finds the queue empty, so a submission may need a new one.
    if (jobs == 0 || running < jobs) {
        ++running;
        workers.emplace_back([this] { work(); });
    }
}

void UpdatePool::work() {
    std::unique_lock lock(mutex);
    while (!queue.empty()) {
        // The caller stops the pool when it sees the press; a worker free before then must not
        // start another update meanwhile.
        if (interrupt && interrupt->presses() > 0) {
            dropQueued();
            break;
        }
        const USBDeviceInfo device = queue.front();
        queue.pop_front();
        lock.unlock();
        UpdateRecord record = updateProbe(context, device, force, events);
        lock.lock();
        records.push_back(std::move(record));
    }
    --running;
    changed.notify_all();
}

void UpdatePool::close() {
    const std::lock_guard lock(mutex);
    closed = true;
}

void UpdatePool::stop() {
    const std::lock_guard lock(mutex);
    dropQueued();
}

void UpdatePool::dropQueued() {
    closed = true;
    dropped.insert(dropped.end(), queue.begin(), queue.end());
    queue.clear();
}

std::vector<UpdateRecord> UpdatePool::wait() {
    std::vector<std::jthread> ending;
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return closed && running == 0; });
        ending.swap(workers);
    }
    ending.clear();  // joins: every worker is past its last touch of the pool
    const std::lock_guard lock(mutex);
    return records;
}

std::vector<USBDeviceInfo> UpdatePool::unfinished() const {
    const std::lock_guard lock(mutex);
    return dropped;
}

}  // namespace cli
