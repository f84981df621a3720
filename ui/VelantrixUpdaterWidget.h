#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "firmware/UpdateProcedure.h"
#include "link/HDataLink.h"
#include "link/USBDeviceInfo.h"
#include "platform/Context.h"
#include "ui/UpdaterWidget.h"

class QLabel;
class QPushButton;
class QTextEdit;

// The page for one attached probe: the firmware its loader reports as installed, the image on
// offer with its release notes, and the button that installs it. Owns the link to the probe
// for its whole life; building it talks to the probe and throws HException when that fails.
// GUI thread only, as every widget.
class VelantrixUpdaterWidget : public UpdaterWidget {
    Q_OBJECT

public:
    // Opens the probe's links, and waits for it, on `context`.
    VelantrixUpdaterWidget(platform::Context context, const USBDeviceInfo& info, QWidget* parent);
    // On the program's own system platform and steady clock.
    VelantrixUpdaterWidget(const USBDeviceInfo& info, QWidget* parent);
    ~VelantrixUpdaterWidget() override;

protected slots:
    void updateImageInfo();
    // The whole update on this thread; the window stays alive through the progress reports.
    // Failures leave as HException once the button and the window's poll are back.
    void updateFirmware();

protected:
    void erase(HDataLink* link, uint32_t address, uint32_t size);
    void download(HDataLink* link, uint32_t address, uint32_t size, const uint8_t* bytes);
    void verify(HDataLink* link, uint32_t address, uint32_t size, const uint8_t* bytes);

private:
    // The phases report through this panel's progress signal.
    UpdateProgress progressReporter();
    // The update's phases, run through this panel's members.
    UpdatePhases panelPhases();

    QLabel* installedVersionLabel;
    QLabel* offeredVersionLabel;
    QTextEdit* releaseNotesView;
    QPushButton* installButton;
    bool firmwareInstalled = false;
    std::optional<std::string> installedDescription;  // as the panel shows it, for the history
    const platform::Context context;
    USBDeviceInfo deviceInfo;
    std::unique_ptr<HDataLink> link;
};
