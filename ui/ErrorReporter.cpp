#include "ui/ErrorReporter.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <deque>

#include "ui/WindowTexts.h"

namespace {

// Failures waiting for their box. One box at a time: a failure reported while a box is up
// gets its own box after that one is answered, not one on top of it.
struct PendingBoxes {
    std::deque<std::string> messages;
    bool showing = false;
};

PendingBoxes& pending() {
    static PendingBoxes boxes;
    return boxes;
}

void showPending() {
    PendingBoxes& boxes = pending();
    if (boxes.showing)
        return;
    boxes.showing = true;
    while (!boxes.messages.empty()) {
        const std::string message = std::move(boxes.messages.front());
        boxes.messages.pop_front();
        showErrorBox(message);
    }
    boxes.showing = false;
}

}  // namespace

void showErrorBox(const std::string& message) {
    QMessageBox::critical(nullptr, QLatin1String(messages::errorBoxTitle),
                          QString::fromLatin1(message.data(), qsizetype(message.size())),
                          QMessageBox::Ok, QMessageBox::NoButton);
}

void reportError(const std::string& message) {
    pending().messages.push_back(message);
    // The analyzer loses track of the slot object Qt allocates here; the timer owns and frees it.
    // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks)
    QTimer::singleShot(0, QCoreApplication::instance(), showPending);
}
