#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <stdexcept>

#include "platform/Interrupt.h"
#include "platform/linux/UniqueFd.h"

namespace platform {

namespace {

// A signal handler is handed nothing but the signal's number, so what it touches lives here:
// the count of the one catcher there may be and the descriptor that wakes its waiter. Only
// lock-free atomics, since the handler may run in the middle of any code on any thread.
std::atomic<unsigned> caught{0};
std::atomic<int> wakeFd{-1};
std::atomic<bool> catching{false};
static_assert(std::atomic<unsigned>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

constexpr std::array<int, 2> kSignals{SIGINT, SIGTERM};

// Async-signal-safe throughout: atomics, write, sigaction and raise.
void onSignal(int number) {
    const int savedErrno = errno;
    const unsigned count = caught.fetch_add(1) + 1;
    if (const int fd = wakeFd.load(); fd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
    }
    if (count >= kPressesBeforeDefault) {
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        sigemptyset(&byDefault.sa_mask);
        for (const int signal : kSignals)
            sigaction(signal, &byDefault, nullptr);
        // Held back until this handler returns, then the default action ends the program.
        raise(number);
    }
    errno = savedErrno;
}

class SignalInterrupt final : public Interrupt {
public:
    SignalInterrupt() {
        if (catching.exchange(true))
            throw std::logic_error("the system's interrupts are caught already");
        caught = 0;
        wakeFd = wake.get();
        struct sigaction on {};
        on.sa_handler = onSignal;
        sigemptyset(&on.sa_mask);
        // A press must not fail the transfer or the write it lands in: those calls go on.
        on.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &on, &previous[i]);
    }
    ~SignalInterrupt() override {
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &previous[i], nullptr);
        wakeFd = -1;
        catching = false;
    }
    SignalInterrupt(const SignalInterrupt&) = delete;
    SignalInterrupt& operator=(const SignalInterrupt&) = delete;

    unsigned presses() const override { return caught.load(); }

    unsigned waitMs(uint32_t ms, unsigned seen) override {
        // Wake-ups of presses already counted are taken first, so that they do not end this
        // wait; a press from here on counts before it wakes, so none is missed.
        if (wake) {
            uint64_t drained = 0;
            [[maybe_unused]] const ssize_t read = ::read(wake.get(), &drained, sizeof drained);
        }
        if (caught.load() > seen)
            return caught.load();
        // Without an eventfd the wait still ends at a press on this thread (EINTR), and at the
        // latest after `ms`.
        pollfd readable{wake.get(), POLLIN, 0};
        ::poll(&readable, wake ? 1 : 0, static_cast<int>(ms));
        return caught.load();
    }

private:
    UniqueFd wake{eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
    std::array<struct sigaction, kSignals.size()> previous{};
};

}  // namespace

std::unique_ptr<Interrupt> catchInterrupts() {
    return std::make_unique<SignalInterrupt>();
}

}  // namespace platform
