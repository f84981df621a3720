#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextEdit>

#include "RealStackTest.h"
#include "firmware/FirmwareImage.h"
#include "ui/Updater.h"
#include "ui/VelantrixUpdaterWidget.h"

namespace realstack {

inline QString versionText(const std::string& description) {
    return QStringLiteral("<b>Version: </b>") + QString::fromLatin1(description.c_str());
}

// The real window on the real stack. The window is made by the test (its constructor polls
// at once), and the test stands in for main by setting `mainWindow`.
class RealStackWindow : public RealStackTest {
protected:
    void TearDown() override {
        window.reset();
        mainWindow = nullptr;
        RealStackTest::TearDown();
    }

    Updater& openWindow() {
        window = std::make_unique<Updater>();
        mainWindow = window.get();
        return *window;
    }

    void poll() { QMetaObject::invokeMethod(window.get(), "poll"); }

    template <typename Widget>
    Widget* find(const char* name) const {
        return window->findChild<Widget*>(QLatin1String(name));
    }
    QString text(const char* labelName) const {
        const auto* label = find<QLabel>(labelName);
        return label ? label->text() : QStringLiteral("<no label %1>").arg(labelName);
    }
    // The firmware panel on show, or null.
    VelantrixUpdaterWidget* panel() const {
        const auto* stack = find<QStackedWidget>("firmwareStack");
        return stack ? qobject_cast<VelantrixUpdaterWidget*>(stack->currentWidget()) : nullptr;
    }
    QString panelText(const char* labelName) const {
        const auto* shown = panel();
        const auto* label = shown ? shown->findChild<QLabel*>(QLatin1String(labelName)) : nullptr;
        return label ? label->text() : QStringLiteral("<no panel label %1>").arg(labelName);
    }
    QPushButton* installButton() const {
        const auto* shown = panel();
        return shown ? shown->findChild<QPushButton*>(QStringLiteral("installButton")) : nullptr;
    }

    std::unique_ptr<Updater> window;
};

inline const char* const kNoProbeStatus =
    "No devices connected, attach the Velantrix you wish to configure.";

}  // namespace realstack
