// watch against a bench of virtual probes: plugged in while it waits, one failing, one up to
// date, one unsupported, and Ctrl-C pressed by the test in the middle of an update.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "CliRun.h"
#include "firmware/UpdateHistory.h"

namespace {

// The test's hand on the bench. Every wait of the watch's loop is a tick at which the test may
// plug probes in. Ctrl-C is pressed when `press` first says so to whoever asks; a worker that
// sees a first press first waits until the loop has seen it and come back to wait again, so that
// what the loop does about a press happens while the worker's update still runs, as it does for
// a person at a keyboard.
struct Bench : platform::Interrupt {
    explicit Bench(sim::VirtualClock& on) : clock(on) {}
    unsigned presses() const override {
        if (press && pressed == 0)
            pressed = press();
        while (pressed == 1 && std::this_thread::get_id() != loop && !acted)
            std::this_thread::yield();
        return pressed.load();
    }
    unsigned waitMs(uint32_t ms, unsigned) override {
        loop = std::this_thread::get_id();
        if (onTick)
            onTick(++ticks);
        acted = seen.exchange(presses() > 0);
        clock.sleepMs(ms);
        std::this_thread::yield();
        return pressed.load();
    }

    sim::VirtualClock& clock;
    std::function<void(unsigned tick)> onTick;
    std::function<unsigned()> press;
    unsigned ticks = 0;
    mutable std::atomic<unsigned> pressed{0};
    std::atomic<std::thread::id> loop;
    std::atomic<bool> seen{false};
    std::atomic<bool> acted{false};

    void reset(std::function<unsigned()> pressing) {
        pressed = 0;
        seen = acted = false;
        press = std::move(pressing);
    }
};

// The catcher hands the command an interrupt of its own; this one reads the bench.
struct OnBench : platform::Interrupt {
    explicit OnBench(Bench& b) : bench(b) {}
    unsigned presses() const override { return bench.presses(); }
    unsigned waitMs(uint32_t ms, unsigned seen) override { return bench.waitMs(ms, seen); }
    Bench& bench;
};

struct Watch : CliProbes {
    Bench bench{clock};
    CliRun run(const std::vector<std::string>& args) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = cli::runCli(context, args, {out, err, false},
                                       [&] { return std::make_unique<OnBench>(bench); });
        return {status, out.str(), err.str()};
    }
    static std::size_t occurrences(const std::string& text, const std::string& part) {
        std::size_t n = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    }
};

const std::string notSupported = "The attached Velantrix is not supported by Velantrix Update.";

}  // namespace

TEST_F(Watch, UpdatesEachArrivalOnceReportsEachAndEndsAfterCount) {
    const auto good = plug(3, "0300A1");
    const auto failing = plug(3, "0300A2");
    failing->on(sim::Command::Write, 3).fail();
    const auto current = plug(6, "0600B7", imageOf(6));  // restarts into its loader for the check
    plug(4, "04010000");
    std::shared_ptr<sim::VirtualProbe> late;
    bench.onTick = [&](unsigned tick) {
        if (tick == 20)
            late = plug(3, "0300A4");
    };
    const std::string history = testing::TempDir() + "vx-watch.jsonl";
    std::remove(history.c_str());

    const CliRun run = this->run({"watch", "--count", "4", "--history", history});
    EXPECT_EQ(run.status, 5);
    ASSERT_TRUE(late);
    EXPECT_TRUE(holds(*good, rowOf(3)) && holds(*late, rowOf(3)));
    EXPECT_EQ(current->commandCount(sim::Command::Erase), 0);
    EXPECT_EQ(occurrences(run.out, "04010000 (product id 4): " + notSupported + "\n"), 1u);
    for (const char* line : {"0300A1  Velantrix Heron  2.10 -> 2.16  ok  ",
                             "0300A4  Velantrix Heron  2.10 -> 2.16  ok  ",
                             "0600B7  Velantrix Osprey  3.1 -> 3.1  up to date  ",
                             "0300A2  Velantrix Heron  2.10 -> -  failed: Download failed"})
        EXPECT_EQ(occurrences(run.out, line), 1u) << line << "\n" << run.out;
    EXPECT_PRED_FORMAT2(testing::IsSubstring,
                        "0300A2 (Velantrix Heron): the update stopped part-way", run.out);
    EXPECT_PRED_FORMAT2(testing::IsSubstring, "velantrix-update-cli: 0300A2: Download failed",
                        run.err);
    EXPECT_PRED_FORMAT2(testing::IsSubstring,
                        "total: 4 ended, 2 updated, 1 up to date, 1 failed\n"
                        "SERIAL  VARIANT",
                        run.out);
    EXPECT_TRUE(run.out.ends_with("4 probes: 2 updated, 1 up to date, 1 failed\n")) << run.out;
    EXPECT_EQ(readHistory(history).entries.size(), 4u);
}

// watch and update alike: a first press lets the running update finish and starts no other, a
// second stops it at its next step and names the probe left part-way.
TEST_F(Watch, CtrlCOnceLetsTheRunningUpdateFinishTwiceStopsItAndNamesItPartWay) {
    const auto running = plug(3, "0300A1");
    const auto queued = plug(3, "0300A2");
    using Args = std::vector<std::string>;
    for (const auto& [once, twice] :
         {std::pair<Args, Args>{{"watch", "--jobs", "1"}, {"watch"}},
          {{"update", "--all", "--jobs", "1"}, {"update", "--serial", "0300A2"}}}) {
        running->installImage(olderImage());
        queued->installImage(olderImage());
        const int ran = running->commandCount(sim::Command::Write);
        const int writes = queued->commandCount(sim::Command::Write);
        bench.reset([&] { return running->commandCount(sim::Command::Write) >= ran + 3; });
        const CliRun first = run(once);
        EXPECT_EQ(first.status, 0) << first.err;
        EXPECT_TRUE(holds(*running, rowOf(3)));
        EXPECT_EQ(queued->commandCount(sim::Command::Write), writes);
        EXPECT_PRED_FORMAT2(testing::IsNotSubstring, "part-way", first.out);
        EXPECT_TRUE(first.out.ends_with("2 probes: 1 updated, 1 skipped\n")) << first.out;

        bench.reset(
            [&] { return queued->commandCount(sim::Command::Write) >= writes + 3 ? 2 : 0; });
        const CliRun second = run(twice);
        EXPECT_EQ(second.status, 5);
        EXPECT_LT(queued->commandCount(sim::Command::Write), writes + 6);
        EXPECT_PRED_FORMAT2(testing::IsSubstring,
                            "0300A2 (Velantrix Heron): the update stopped part-way", second.out);
        EXPECT_PRED_FORMAT2(testing::IsSubstring, "0300A2: stopped by Ctrl-C", second.err);
    }
}
