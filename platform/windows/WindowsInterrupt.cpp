#include <stdexcept>

#include "platform/Interrupt.h"
#include "platform/windows/Win32.h"

namespace platform {

namespace {

// The console calls its handler with nothing but the event, on a thread of its own, so what the
// handler touches lives here: the count of the one catcher there may be and the event that wakes
// its waiter.
std::atomic<unsigned> caught{0};
std::atomic<HANDLE> wakeEvent{nullptr};
std::atomic<bool> catching{false};

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    const unsigned count = caught.fetch_add(1) + 1;
    if (HANDLE wake = wakeEvent.load())
        SetEvent(wake);
    // FALSE hands the press on to the system's own handler, which ends the process.
    return count >= kPressesBeforeDefault ? FALSE : TRUE;
}

class ConsoleInterrupt final : public Interrupt {
public:
    ConsoleInterrupt() {
        if (catching.exchange(true))
            throw std::logic_error("the system's interrupts are caught already");
        caught = 0;
        wakeEvent = wake;
        SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    }
    ~ConsoleInterrupt() override {
        SetConsoleCtrlHandler(onConsoleEvent, FALSE);
        wakeEvent = nullptr;
        if (wake)
            CloseHandle(wake);
        catching = false;
    }
    ConsoleInterrupt(const ConsoleInterrupt&) = delete;
    ConsoleInterrupt& operator=(const ConsoleInterrupt&) = delete;

    unsigned presses() const override { return caught.load(); }

    unsigned waitMs(uint32_t ms, unsigned seen) override {
        // A wake-up of a press already counted must not end this wait; a press from here on
        // counts before it wakes, so none is missed.
        if (wake)
            ResetEvent(wake);
        if (caught.load() > seen)
            return caught.load();
        if (wake)
            WaitForSingleObject(wake, ms);
        else
            Sleep(ms);
        return caught.load();
    }

private:
    // Resets itself when a wait ends on it.
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
};

}  // namespace

std::unique_ptr<Interrupt> catchInterrupts() {
    return std::make_unique<ConsoleInterrupt>();
}

}  // namespace platform
