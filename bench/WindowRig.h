#pragma once

#include <QTimer>

#include "platform/Context.h"
#include "ui/Updater.h"

namespace bench {

// The program's window as main makes it (shown, and known as mainWindow), on `context`, with its
// poll timer held so that a benchmark decides when poll() runs.
class WindowRig {
public:
    explicit WindowRig(platform::Context context);
    ~WindowRig();
    WindowRig(const WindowRig&) = delete;
    WindowRig& operator=(const WindowRig&) = delete;

    Updater& window() { return updater; }
    void poll();
    // Lets the window paint whatever the last calls changed.
    static void settle();

private:
    Updater updater;
};

}  // namespace bench
