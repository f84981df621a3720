#pragma once

#include <QApplication>

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <vector>
#include "QtPrinters.h"

// Answers every modal message box that opens while it lives and remembers what each showed,
// so that tests can drive code paths that end in the error box.
class BoxWatcher {
public:
    struct Box {
        QString title;
        QString text;
        int buttonCount = 0;
        bool okOnly = false;
    };

    BoxWatcher() {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            if (whileShown)
                whileShown();
            const auto buttons = box->buttons();
            boxes.push_back(
                {box->windowTitle(), box->text(), int(buttons.size()),
                 buttons.size() == 1 && box->standardButton(buttons[0]) == QMessageBox::Ok});
            box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
        });
        timer.start();
    }

    std::vector<Box> boxes;
    // Runs while a box is up, before it is answered: the event loop goes on behind a box.
    std::function<void()> whileShown;

private:
    QTimer timer;
};
