// The window's heartbeat: once a second, find the attached probes and build, keep or drop the
// firmware panel to match.
#include <QGroupBox>
#include <QStackedWidget>

#include "firmware/ProbeAssessment.h"
#include "link/DeviceEnumeration.h"
#include "platform/HException.h"
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

void Updater::showNotUpdatable(const ProbeAssessment& assessment) {
    // A variant we carry firmware for but cannot reach over this connection: say so instead of
    // building a panel that would have no link.
    setSerialNumber(fromLatin1(assessment.device.serialNumber));
    setVariant(QString::fromLatin1(assessment.row->name));
    hardwareGroup->setEnabled(true);
    firmwareGroup->setEnabled(false);
    firmwareStack->setCurrentWidget(emptyPage);
    currentSerialNumber.clear();
    setStatus(QString::fromLatin1(situationMessage(assessment.situation)), false);
}

void Updater::showUnsupported(bool sameProbe) {
    const QString status = QString::fromLatin1(situationMessage(ProbeSituation::Unsupported));
    // A probe swapped within one tick for an unsupported one must not be shown beside the
    // serial number and variant of the one that left.
    if (sameProbe)
        setStatus(status, false);
    else
        showNoProbe(status);
}

void Updater::showPanelFor(const ProbeAssessment& assessment) {
    auto* panel = new VelantrixUpdaterWidget(context, assessment.device, firmwareStack);
    firmwarePanel = panel;
    connect(panel, &UpdaterWidget::progress, this, &Updater::progress);
    firmwareStack->addWidget(panel);
    currentSerialNumber = fromLatin1(assessment.device.serialNumber);
    firmwareStack->setCurrentWidget(panel);
    setSerialNumber(currentSerialNumber);
    setVariant(QString::fromLatin1(assessment.row->name));
    firmwareGroup->setEnabled(true);
    setStatus(QString::fromLatin1(situationMessage(assessment.situation)), false);
    hardwareGroup->setEnabled(true);
}

void Updater::poll() {
    if (!pollingEnabled)
        return;
    try {
        const std::vector<USBDeviceInfo> probes = selectProbes(attachedDevices.devices());

        if (firmwarePanel) {
            // The panel talked to the probe when it was built; while the same probe stays it is
            // left alone. Anything else only removes it: the next tick decides afresh.
            if (probes.size() == 1 &&
                probes[0].serialNumber == currentSerialNumber.toLatin1().toStdString() &&
                panelCurrent) {
                return;
            }
            firmwareStack->setCurrentWidget(emptyPage);
            firmwareStack->removeWidget(firmwarePanel);
            delete firmwarePanel;
            firmwarePanel = nullptr;
        } else {
            const ProbeAssessment assessment = assessProbes(probes);
            const bool sameProbe =
                judgedSerialNumber.empty() || judgedSerialNumber == assessment.device.serialNumber;
            judgedSerialNumber = assessment.device.serialNumber;
            if (refusal && (assessment.situation != ProbeSituation::Ready ||
                            assessment.device.serialNumber != refusal->serialNumber))
                refusal.reset();  // gone, or another probe: asked at once
            switch (assessment.situation) {
                case ProbeSituation::NoProbe:
                case ProbeSituation::SeveralProbes:
                    showNoProbe(QString::fromLatin1(situationMessage(assessment.situation)));
                    break;
                case ProbeSituation::Unsupported:
                    showUnsupported(sameProbe);
                    break;
                case ProbeSituation::NotUpdatable:
                    showNotUpdatable(assessment);
                    break;
                case ProbeSituation::Ready:
                    if (refusal && context.clock.tickMs() - refusal->atMs < kRetryRefusedProbeMs)
                        break;  // the status line keeps its message meanwhile
                    try {
                        showPanelFor(assessment);
                    } catch (HException&) {
                        refusal = Refusal{assessment.device.serialNumber, context.clock.tickMs()};
                        throw;
                    }
                    break;
            }
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
