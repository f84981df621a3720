// The program's start-up as main runs it (application object, single-instance check, window
// with its first poll, show), ended as soon as the window's first frame is painted. Prints the
// steady-clock time (CLOCK_MONOTONIC) of that moment, so that whoever started the process can
// tell the time from its own start, and the phases seen from inside main.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>

#include "app/SingleInstance.h"
#include "ui/Updater.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               SteadyClock::now().time_since_epoch())
        .count();
}

// Waits for the first paint of any widget of `window`, then ends the event loop once that frame
// is done.
class FirstFrame : public QObject {
public:
    explicit FirstFrame(QWidget& watched) : window(watched) {}
    int64_t paintedNs = 0;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (paintedNs == 0 && event->type() == QEvent::Paint) {
            auto* widget = qobject_cast<QWidget*>(object);
            if (widget && widget->window() == &window) {
                paintedNs = nowNs();
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            }
        }
        return false;
    }

private:
    QWidget& window;
};

}  // namespace

int main(int argc, char** argv) {
    const int64_t enteredNs = nowNs();
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("io.velantrix.Update"));
    // Its own id, so that a running copy of the program does not make this one a second start.
    SingleInstance instance(QStringLiteral("Velantrix Update start-up benchmark"));
    if (instance.isRunning())
        return 2;
    const int64_t applicationNs = nowNs();

    Updater window;
    mainWindow = &window;
    const int64_t builtNs = nowNs();
    FirstFrame frame(window);
    app.installEventFilter(&frame);
    window.show();
    app.exec();
    const int64_t doneNs = nowNs();
    mainWindow = nullptr;

    const auto ms = [](int64_t ns) { return static_cast<double>(ns) / 1e6; };
    std::printf("first_frame_monotonic_ns %lld\n", static_cast<long long>(doneNs));
    std::printf("main_entered_monotonic_ns %lld\n", static_cast<long long>(enteredNs));
    std::printf("in_main_ms application %.2f window %.2f first_paint %.2f frame_done %.2f\n",
                ms(applicationNs - enteredNs), ms(builtNs - applicationNs),
                ms(frame.paintedNs - builtNs), ms(doneNs - frame.paintedNs));
    return frame.paintedNs > 0 ? 0 : 1;
}
