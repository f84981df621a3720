#pragma once

#include <QTimer>

#include "ui/Updater.h"

namespace bench {

// The program's window as main makes it (shown, and known as mainWindow), with its poll timer
// held so that a benchmark decides when poll() runs.
class WindowRig {
public:
    WindowRig();
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
