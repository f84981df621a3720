// The pool of update workers: submissions while others run, stop, a Ctrl-C its caller has not
// seen yet, and a reopening probe found again by its serial number while another arrives.
#include <condition_variable>
#include <mutex>

#include "CliRun.h"
#include "cli/ProbeSurvey.h"
#include "cli/UpdatePool.h"

namespace {

// Holds every worker in started() until opened; counts what it is told.
struct Gate : cli::UpdateEvents {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    int starts = 0;
    int finishes = 0;
    std::function<void(const std::string& task)> onPhase = [](const std::string&) {};

    void started(const std::string&, const std::string&) override {
        std::unique_lock lock(mutex);
        ++starts;
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
    }
    void said(const std::string&, const std::string&) override {}
    void phaseBegan(const std::string&, const std::string& task, int, const std::string&) override {
        onPhase(task);
    }
    void stepped(const std::string&, int, int) override {}
    void phaseEnded(const std::string&, bool) override {}
    void finished(const UpdateRecord&) override {
        const std::lock_guard lock(mutex);
        ++finishes;
    }
    void awaitStarts(int count) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return starts >= count; });
    }
    void release() {
        const std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

USBDeviceInfo deviceOf(const std::vector<USBDeviceInfo>& probes, const std::string& serial) {
    return *std::find_if(probes.begin(), probes.end(),
                         [&](const auto& p) { return p.serialNumber == serial; });
}

}  // namespace

TEST_F(CliProbes, ThePoolRunsAtMostItsJobsAndStartsNoQueuedOneAfterStopOrCtrlC) {
    for (const char* serial : {"0300A1", "0300A2", "0300A3", "0300A4"})
        plug(3, serial);
    const std::vector<USBDeviceInfo> probes = cli::attachedProbes(context);
    Gate gate;
    {
        cli::UpdatePool pool(context, gate, false, 2);
        pool.submit(probes[0]);
        gate.awaitStarts(1);
        pool.submit(probes[1]);  // while the first runs: a second worker
        gate.awaitStarts(2);
        pool.submit(probes[2]);
        pool.submit(probes[3]);
        pool.stop();
        pool.submit(probes[0]);  // after stop: ignored
        EXPECT_EQ(pool.unfinished(), (std::vector<USBDeviceInfo>{probes[2], probes[3]}));
        gate.release();
        const std::vector<UpdateRecord> records = pool.wait();
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0].result, UpdateResult::Updated);
        EXPECT_EQ(gate.starts, 2);
    }
    platform::CountedInterrupt ctrlC(context.clock);
    Gate pressed;
    cli::UpdatePool pool(context, pressed, true, 1, &ctrlC);
    pool.submit(deviceOf(probes, "0300A3"));
    pool.submit(deviceOf(probes, "0300A4"));
    pool.close();
    pressed.awaitStarts(1);
    ctrlC.press();  // nobody calls stop(): the worker itself leaves the queued one alone
    pressed.release();
    EXPECT_EQ(pool.wait().size(), 1u);
    EXPECT_EQ(pool.unfinished(), (std::vector<USBDeviceInfo>{deviceOf(probes, "0300A4")}));
}

TEST_F(CliProbes, AReopeningProbeIsFoundByItsSerialWhileAnotherArrives) {
    const auto osprey = plug(6, "0600B7");  // restarts into its loader on connect
    Gate gate;
    gate.release();
    std::shared_ptr<sim::VirtualProbe> newcomer;
    gate.onPhase = [&](const std::string& task) {
        if (!newcomer && task.starts_with("Erasing"))
            newcomer = plug(6, "0600B8");
    };
    cli::UpdatePool pool(context, gate, true);
    pool.submit(cli::attachedProbes(context).front());
    pool.close();
    const std::vector<UpdateRecord> records = pool.wait();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].result, UpdateResult::Updated) << records[0].message;
    EXPECT_EQ(records[0].serialNumber, "0600B7");
    EXPECT_TRUE(holds(*osprey, rowOf(6)));
    ASSERT_TRUE(newcomer);
    EXPECT_EQ(newcomer->commandCount(sim::Command::Connect), 0);
}
