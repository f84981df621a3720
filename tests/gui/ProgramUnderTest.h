#pragma once

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QStackedWidget>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>

#include "BoxWatcher.h"
#include "firmware/FirmwareImage.h"
#include "loader/Crc32.h"
#include "ui/Updater.h"
#include "ui/VelantrixUpdaterWidget.h"

// The whole program as a user meets it, against whatever the virtual bus holds: the window with
// its poll, the panel the poll builds, the install button and the error box (answered at once and
// recorded). The poll timer is stopped so that nothing happens by the wall clock: tests poll
// when they mean to, and every wait of the program runs on the virtual clock.
class ProgramUnderTest {
public:
    // What one press of the install button led to.
    struct Press {
        QString box;                   // text of the error box it ended in; empty when none
        int boxCount = 0;              // boxes shown during the press; one at most is right
        bool reportedSuccess = false;  // the panel marked itself stale: the update succeeded
        bool buttonEnabled = false;    // afterwards
        bool pollingEnabled = false;   // afterwards
    };

    // Builds the window, which polls once at construction, as main does.
    ProgramUnderTest() : window(std::make_unique<Updater>()) {
        mainWindow = window.get();
        window->findChild<QTimer*>(QStringLiteral("pollTimer"))->stop();
    }
    ~ProgramUnderTest() { mainWindow = nullptr; }
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    void poll() { QMetaObject::invokeMethod(window.get(), "poll"); }

    VelantrixUpdaterWidget* panel() const { return window->findChild<VelantrixUpdaterWidget*>(); }
    bool panelShown() const {
        auto* stack = window->findChild<QStackedWidget*>(QStringLiteral("firmwareStack"));
        return panel() && stack->currentWidget() == panel();
    }
    QString status() const { return label(*window, "statusLabel"); }
    QString installedVersion() const {
        return panel() ? label(*panel(), "installedVersionLabel") : QString();
    }
    bool firmwareAreaEnabled() const {
        return window->findChild<QGroupBox*>(QStringLiteral("firmwareGroup"))->isEnabled();
    }
    QPushButton* installButton() const {
        return panel() ? panel()->findChild<QPushButton*>(QStringLiteral("installButton"))
                       : nullptr;
    }

    // Polls until the panel is shown; a probe that just left or came back needs two polls (one
    // drops the old panel, the next builds the new one).
    bool pollUntilPanel(int polls = 3) {
        for (int i = 0; i < polls && !(panelShown() && window->isPanelCurrent()); ++i)
            poll();
        return panelShown() && window->isPanelCurrent();
    }

    Press pressInstall() {
        const std::size_t before = boxes.boxes.size();
        Press press;
        if (QPushButton* button = installButton(); button && button->isEnabled())
            button->click();
        QCoreApplication::processEvents();  // a failure's box shows from the event loop
        press.boxCount = static_cast<int>(boxes.boxes.size() - before);
        if (press.boxCount > 0)
            press.box = boxes.boxes.back().text;
        press.reportedSuccess = !window->isPanelCurrent();
        QPushButton* button = installButton();
        press.buttonEnabled = button && button->isEnabled();
        press.pollingEnabled = window->isPollingEnabled();
        return press;
    }

    // The version line a fresh panel shows once `row` is installed.
    static QString installedLine(const FirmwareImage& row) {
        const std::string description = imageVersionDescription(row);
        return QStringLiteral("<b>Version: </b>") + QString::fromLatin1(description.c_str());
    }
    static uint32_t imageCrc(const FirmwareImage& row) { return crc32(row.data, row.size); }

    BoxWatcher boxes;
    std::unique_ptr<Updater> window;

private:
    static QString label(const QWidget& parent, const char* name) {
        auto* found = parent.findChild<QLabel*>(QString::fromLatin1(name));
        return found ? found->text() : QString();
    }
};
