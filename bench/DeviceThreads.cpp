#include "bench/DeviceThreads.h"

#include <time.h>

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>

namespace bench {
namespace {

int64_t threadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// One opened device and the thread it works on. The thread waits for one job at a time; the
// caller posts it and sleeps until the thread has cleared it. A job is a callable on the
// caller's stack, referred to, not copied: no allocation per transfer.
class DeviceSide final : public platform::UsbDevice {
public:
    DeviceSide(std::unique_ptr<platform::UsbDevice> device, const DeviceThreads::Totals& totals)
        : inner(std::move(device)), shared(totals), thread([this] { serve(); }) {
        shared.open.fetch_add(1, std::memory_order_relaxed);
    }

    ~DeviceSide() override {
        // The device closes where it worked; the thread then ends and adds its last stretch.
        try {
            run([this] { inner.reset(); });
        } catch (...) {
            // A device's destructor has nothing to report; the thread still ends.
        }
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        posted.notify_one();
        thread.join();
        shared.open.fetch_sub(1, std::memory_order_release);
    }
    DeviceSide(const DeviceSide&) = delete;
    DeviceSide& operator=(const DeviceSide&) = delete;

    std::optional<platform::UsbIdentity> identity() override {
        std::optional<platform::UsbIdentity> result;
        run([&] { result = inner->identity(); });
        return result;
    }
    int interfaceOfEndpoint(uint8_t endpoint) override {
        int result = -1;
        run([&] { result = inner->interfaceOfEndpoint(endpoint); });
        return result;
    }
    bool claimInterface(int interfaceNumber) override {
        bool result = false;
        run([&] { result = inner->claimInterface(interfaceNumber); });
        return result;
    }
    platform::OpenFailure claimFailure() const override {
        platform::OpenFailure result;
        run([&] { result = inner->claimFailure(); });
        return result;
    }
    int bulkTransfer(uint8_t endpoint, void* data, int length, unsigned timeoutMs) override {
        int result = -1;
        run([&] { result = inner->bulkTransfer(endpoint, data, length, timeoutMs); });
        return result;
    }
    int controlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                        void* data, uint16_t length, unsigned timeoutMs) override {
        int result = -1;
        run([&] {
            result =
                inner->controlTransfer(requestType, request, value, index, data, length, timeoutMs);
        });
        return result;
    }

private:
    struct Job {
        void (*invoke)(void*) = nullptr;
        void* callable = nullptr;
    };

    // Runs `work` on the device's thread and returns when it is done; what it throws is thrown
    // here. Const because claimFailure is: the hand-over changes no state of the device.
    template <typename Work>
    void run(Work&& work) const {
        const std::lock_guard<std::mutex> turn(callers);
        std::unique_lock<std::mutex> lock(mutex);
        pending = {
            [](void* callable) { (*static_cast<std::remove_reference_t<Work>*>(callable))(); },
            &work};
        failure = nullptr;
        lock.unlock();
        posted.notify_one();
        lock.lock();
        done.wait(lock, [this] { return pending.invoke == nullptr; });
        if (failure)
            std::rethrow_exception(std::exchange(failure, nullptr));
    }

    void serve() {
        int64_t counted = threadCpuNs();
        const auto account = [&] {
            const int64_t now = threadCpuNs();
            shared.cpuNs.fetch_add(now - counted, std::memory_order_relaxed);
            counted = now;
        };
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            posted.wait(lock, [this] { return pending.invoke != nullptr || stopping; });
            if (pending.invoke == nullptr)
                break;
            const Job job = pending;
            lock.unlock();
            std::exception_ptr thrown;
            try {
                job.invoke(job.callable);
            } catch (...) {
                thrown = std::current_exception();
            }
            account();
            shared.jobs.fetch_add(1, std::memory_order_relaxed);
            lock.lock();
            failure = thrown;
            pending = {};
            lock.unlock();
            done.notify_one();
            lock.lock();
        }
        lock.unlock();
        account();
    }

    std::unique_ptr<platform::UsbDevice> inner;  // touched on the device's thread only
    DeviceThreads::Totals shared;
    mutable std::mutex callers;  // one caller's job at a time
    mutable std::mutex mutex;    // guards pending, failure and stopping
    mutable std::condition_variable posted;
    mutable std::condition_variable done;
    mutable Job pending;
    mutable std::exception_ptr failure;
    bool stopping = false;
    std::thread thread;  // last: starts once everything it uses exists
};

}  // namespace

std::unique_ptr<platform::UsbDevice> DeviceThreads::openUsbDevice(const std::string& path) {
    return onItsThread(inner.openUsbDevice(path));
}

std::unique_ptr<platform::UsbDevice> DeviceThreads::tryOpenUsbDevice(
    const std::string& path, platform::OpenFailure& failure) {
    return onItsThread(inner.tryOpenUsbDevice(path, failure));
}

std::unique_ptr<platform::UsbDevice> DeviceThreads::onItsThread(
    std::unique_ptr<platform::UsbDevice> device) {
    if (!device)
        return nullptr;
    return std::make_unique<DeviceSide>(std::move(device), Totals{cpuNs, jobs, open});
}

}  // namespace bench
