// The system's interrupts on Linux, with real signals: counted, waking a waiter, and the third
// press ending the program as an uncaught one does.
#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include "platform/Interrupt.h"

TEST(LinuxInterrupt, CountsSignalsWakesTheWaiterAndGivesTheHandlersBack) {
    struct sigaction before {};
    sigaction(SIGINT, nullptr, &before);
    {
        const auto interrupt = platform::catchInterrupts();
        EXPECT_THROW(platform::catchInterrupts(), std::logic_error);
        EXPECT_EQ(interrupt->presses(), 0u);
        raise(SIGINT);
        // Already pressed: no wait at all (a lost wake-up would block for the hour).
        EXPECT_EQ(interrupt->waitMs(60000, 0), 1u);
        std::thread presser([] { raise(SIGTERM); });
        // Woken by the signal that another thread takes.
        EXPECT_EQ(interrupt->waitMs(60000, 1), 2u);
        presser.join();
    }
    struct sigaction after {};
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    EXPECT_EQ(platform::catchInterrupts()->presses(), 0u);
}

TEST(LinuxInterruptDeathTest, TheThirdPressEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const auto interrupt = platform::catchInterrupts();
            raise(SIGINT);
            raise(SIGINT);
            if (interrupt->presses() != 2)
                std::_Exit(1);
            raise(SIGINT);
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGINT), "");
}
