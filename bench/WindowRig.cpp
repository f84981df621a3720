#include "bench/WindowRig.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace bench {

WindowRig::WindowRig(platform::Context context) : updater(context) {
    if (auto* timer = updater.findChild<QTimer*>(QStringLiteral("pollTimer")))
        timer->stop();
    mainWindow = &updater;
    updater.show();
    settle();
    // The window's own first poll waits for the window system to expose it; the rig does not.
    poll();
}

WindowRig::~WindowRig() {
    mainWindow = nullptr;
}

void WindowRig::poll() {
    QMetaObject::invokeMethod(&updater, "poll");
}

void WindowRig::settle() {
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::processEvents();
}

}  // namespace bench
