// The window's heartbeat: once a second, find the attached probes and build, keep or drop the
// firmware panel to match.
#include <QGroupBox>
#include <QStackedWidget>

#include "app/HException.h"
#include "firmware/FirmwareImage.h"
#include "link/DeviceEnumeration.h"
#include "link/ProbeIds.h"
#include "link/openDataLink.h"
#include "ui/Updater.h"
#include "ui/VelantrixUpdaterWidget.h"

namespace {

QString fromLatin1(const std::string& text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

}  // namespace

void Updater::showNoProbe(const QString& status) {
    setStatus(status, false);
    setSerialNumber(QString());
    setVariant(QString());
    hardwareGroup->setEnabled(false);
    firmwareGroup->setEnabled(false);
    currentSerialNumber.clear();
    firmwareStack->setCurrentWidget(emptyPage);
}

void Updater::poll() {
    if (!pollingEnabled)
        return;
    try {
        static const std::vector<int32_t> productIds(probeProductIds.begin(),
                                                     probeProductIds.end());
        const std::vector<USBDeviceInfo> probes = selectDevices(
            enumerateUSBDevices(0, 0xFFFFFFFF, 0xFFFFFFFF), probeVendorId, productIds);
        const std::size_t n = probes.size();

        if (firmwarePanel) {
            // The panel talked to the probe when it was built; while the same probe stays it is
            // left alone. Anything else only removes it: the next tick decides afresh.
            if (n == 1 && probes[0].serialNumber == currentSerialNumber.toLatin1().toStdString() &&
                panelCurrent) {
                return;
            }
            firmwareStack->setCurrentWidget(emptyPage);
            firmwareStack->removeWidget(firmwarePanel);
            delete firmwarePanel;
            firmwarePanel = nullptr;
        } else if (n == 0) {
            showNoProbe(QStringLiteral(
                "No devices connected, attach the Velantrix you wish to configure."));
        } else if (n >= 2) {
            showNoProbe(QStringLiteral("Multiple devices connected, attach only one Velantrix."));
        } else if (const FirmwareImage* row = findFirmwareImage(probes[0]); !row) {
            setStatus(
                QStringLiteral("The attached Velantrix is not supported by Velantrix Update."),
                false);
        } else if (dataLinkKindFor(probes[0].productId) == DataLinkKind::None) {
            // A variant we carry firmware for but cannot reach over this connection: say so
            // instead of building a panel that would have no link.
            setSerialNumber(fromLatin1(probes[0].serialNumber));
            setVariant(QString::fromLatin1(row->name));
            hardwareGroup->setEnabled(true);
            firmwareGroup->setEnabled(false);
            firmwareStack->setCurrentWidget(emptyPage);
            currentSerialNumber.clear();
            setStatus(QStringLiteral("The attached Velantrix cannot be updated over its USB "
                                     "connection by Velantrix Update."),
                      false);
        } else {
            auto* panel = new VelantrixUpdaterWidget(probes[0], firmwareStack);
            firmwarePanel = panel;
            connect(panel, &UpdaterWidget::progress, this, &Updater::progress);
            firmwareStack->addWidget(panel);
            currentSerialNumber = fromLatin1(probes[0].serialNumber);
            firmwareStack->setCurrentWidget(panel);
            setSerialNumber(currentSerialNumber);
            setVariant(QString::fromLatin1(row->name));
            firmwareGroup->setEnabled(true);
            setStatus(QStringLiteral("Device ready."), false);
            hardwareGroup->setEnabled(true);
        }
        panelCurrent = true;
    } catch (HException& e) {
        // Device errors never leave the poll: they are shown and retried on the next tick.
        setStatus(fromLatin1(e.message()), false);
        setSerialNumber(QString());
        setVariant(QString());
        hardwareGroup->setEnabled(true);
        firmwareGroup->setEnabled(false);
    }
}
