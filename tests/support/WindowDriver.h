#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <memory>
#include <ostream>

#include "ui/Updater.h"
#include "ui/VelantrixUpdaterWidget.h"

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

// What a version label says of a firmware version.
inline QString version(const std::string& description) {
    return QStringLiteral("<b>Version: </b>") + QString::fromLatin1(description.c_str());
}

// The program as a user meets it, on the context it is given: the window and its poll,
// the panel the poll builds, the install button, and the error box, answered at once and kept
// (every box must be the error box: titled "Error", one OK button). The poll timer is stopped,
// so the test polls when it means to; the window's first poll, which waits for the event loop,
// runs when the driver is made. Stands in for main by setting mainWindow while it lives.
class WindowDriver {
public:
    explicit WindowDriver(platform::Context context) : window(std::make_unique<Updater>(context)) {
        mainWindow = window.get();
        find<QTimer>("pollTimer")->stop();
        QCoreApplication::processEvents();
        QObject::connect(&boxTimer, &QTimer::timeout, [this] { answerBox(); });
        boxTimer.start(0);
    }
    ~WindowDriver() {
        window.reset();
        mainWindow = nullptr;
    }

    void poll() { QMetaObject::invokeMethod(window.get(), "poll"); }
    // A probe that left or came back needs two polls: one drops the old panel, one builds anew.
    bool pollUntilPanel(int polls = 3) {
        for (int i = 0; i < polls; ++i) {
            poll();
            if (panel() && window->isPanelCurrent())
                return true;
        }
        return false;
    }

    template <typename Widget>
    Widget* find(const char* name) const {
        return window->findChild<Widget*>(QLatin1String(name));
    }
    QString text(const char* label) const {
        const auto* found = find<QLabel>(label);
        return found ? found->text() : QStringLiteral("<no %1>").arg(QLatin1String(label));
    }
    QString status() const { return text("statusLabel"); }
    // What the window shows, in a line: status | variant | serial number | the areas that are
    // on | the firmware the panel says is installed ("-" without a panel).
    QString summary() const {
        const auto shown = [this](const char* label) {
            return text(label).section(QStringLiteral("</b>"), 1).trimmed();
        };
        const QString areas =
            QString(find<QGroupBox>("hardwareGroup")->isEnabled() ? "hardware" : "") +
            (find<QGroupBox>("firmwareGroup")->isEnabled() ? "+firmware" : "");
        return QStringList{status(), shown("variantLabel"), shown("serialNumberLabel"), areas,
                           panel() ? shown("installedVersionLabel") : "-"}
            .join(QStringLiteral(" | "));
    }
    // The firmware panel on show, or null.
    VelantrixUpdaterWidget* panel() const {
        return qobject_cast<VelantrixUpdaterWidget*>(
            find<QStackedWidget>("firmwareStack")->currentWidget());
    }
    QPushButton* installButton() const {
        return panel() ? panel()->findChild<QPushButton*>("installButton") : nullptr;
    }
    bool installEnabled() const {
        const QPushButton* button = installButton();
        return button && button->isEnabled();
    }

    // Presses the install button; answers the text of the box the press ended in, if any.
    QString pressInstall() {
        const qsizetype before = boxes.size();
        if (installEnabled())
            installButton()->click();
        QCoreApplication::processEvents();  // a failure's box shows from the event loop
        EXPECT_LE(boxes.size() - before, 1);
        return boxes.size() > before ? boxes.back() : QString();
    }
    // Whether the panel marked itself stale, as only a verified update does.
    bool updated() const { return !window->isPanelCurrent(); }

    std::unique_ptr<Updater> window;
    QStringList boxes;

private:
    void answerBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        const auto buttons = box->buttons();
        EXPECT_EQ(box->windowTitle(), "Error");
        EXPECT_TRUE(buttons.size() == 1 && box->standardButton(buttons[0]) == QMessageBox::Ok);
        boxes << box->text();
        box->reject();
    }

    QTimer boxTimer;
};
