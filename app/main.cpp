#include <QApplication>
#include <memory>

#include "app/SingleInstance.h"
#include "platform/HException.h"
#include "ui/ErrorReporter.h"
#include "ui/Updater.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Lets Wayland compositors match the window to its desktop entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.velantrix.Update"));
    SingleInstance instance(QStringLiteral("Velantrix Update"));
    if (instance.isRunning()) {
        // A second start hands its first argument to the running copy and leaves quietly,
        // whether or not it was delivered.
        instance.sendMessage(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString(), 5000);
        return 0;
    }
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);

    std::unique_ptr<Updater> window;
    try {
        window = std::make_unique<Updater>();
        mainWindow = window.get();
        window->show();
    } catch (HException& e) {
        showErrorBox(e.message());
    }
    // Without a window nothing could ever end the event loop.
    if (!window)
        return 0;

    // Slots report their own failures; this loop is the last resort for anything that still
    // gets out, so that the program carries on after the box.
    for (;;) {
        try {
            app.exec();
            break;
        } catch (HException& e) {
            showErrorBox(e.message());
        }
    }
    return 0;
}
