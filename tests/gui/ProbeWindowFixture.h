#pragma once

#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <memory>
#include <span>
#include <vector>

#include "firmware/FirmwareImage.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualClock.h"
#include "ui/Updater.h"

// The real window against virtual probes on a virtual clock. Probes attached before
// openWindow() are seen by the poll the constructor runs; tick() is one timer tick.
struct ProbeWindowFixture : ::testing::Test {
    sim::VirtualClockScope clock;
    sim::VirtualBusScope scope;
    std::unique_ptr<Updater> window;

    void TearDown() override {
        window.reset();
        mainWindow = nullptr;
    }

    void openWindow() {
        window = std::make_unique<Updater>();
        mainWindow = window.get();
    }
    void tick() { QMetaObject::invokeMethod(window.get(), "poll"); }

    sim::VirtualBus& bus() { return scope.bus(); }

    // An installed image older than the catalogue's, so an update visibly changes it.
    static std::vector<uint8_t> oldImage(uint32_t headerSize = 0x40, uint32_t format = 1) {
        sim::ImageSpec spec;
        spec.majorVersion = 2;
        spec.minorVersion = 10;
        spec.buildText = "Build: old";
        spec.headerSize = headerSize;
        spec.imageFormat = format;
        return sim::buildFirmwareImage(spec);
    }

    template <typename T>
    T* child(const char* name) const {
        return window->findChild<T*>(QLatin1String(name));
    }
    QString text(const char* label) const { return child<QLabel>(label)->text(); }
    QString status() const { return text("statusLabel"); }
    bool hardwareEnabled() const { return child<QGroupBox>("hardwareGroup")->isEnabled(); }
    bool firmwareEnabled() const { return child<QGroupBox>("firmwareGroup")->isEnabled(); }
    QWidget* currentPage() const { return child<QStackedWidget>("firmwareStack")->currentWidget(); }
    bool panelShown() const { return currentPage() != child<QWidget>("emptyPage"); }
    QPushButton* installButton() const { return child<QPushButton>("installButton"); }
    QProgressBar* progressBar() const { return child<QProgressBar>("progressBar"); }

    static std::span<const uint8_t> catalogueImage(const FirmwareImage& row) {
        return {row.data, row.size};
    }
};

inline const QString noDevices =
    QStringLiteral("No devices connected, attach the Velantrix you wish to configure.");
inline const QString serialCaption = QStringLiteral("<b>Serial Number:</b> ");
inline const QString variantCaption = QStringLiteral("<b>Variant:</b> ");
