#include "ui/VelantrixUpdaterWidget.h"

#include <QCoreApplication>
#include <QFont>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "firmware/FirmwareImage.h"
#include "firmware/InstalledFirmware.h"
#include "firmware/UpdateHistory.h"
#include "firmware/UpdateProcedure.h"
#include "firmware/UserMessages.h"
#include "loader/Crc32.h"
#include "ui/ErrorReporter.h"
#include "ui/Updater.h"
#include "ui/WindowTexts.h"

namespace {

const QString versionCaption = QLatin1String(messages::versionLabel);

QString fromLatin1(const std::string& text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// The pauses while a probe restarts into its loader are spent in the event loop, in short
// slices of the panel's clock, so the window repaints and answers; the install button and the
// poll are off as for the rest of the update.
void waitForProbe(platform::Clock& clock, unsigned attempt, unsigned attempts, uint32_t ms) {
    if (mainWindow)
        mainWindow->setStatus(fromLatin1(messages::waitingForProbe(attempt, attempts)), true);
    constexpr uint32_t sliceMs = 20;
    const uint32_t start = clock.tickMs();
    for (;;) {
        QCoreApplication::processEvents();
        const uint32_t waited = clock.tickMs() - start;
        if (waited >= ms)
            break;
        clock.sleepMs(std::min(sliceMs, ms - waited));
    }
    if (mainWindow)
        mainWindow->setStatus(QString(), true);
}

// What the history keeps of an update of `row` into the probe, before it runs. Texts are UTF-8
// there; the probe's own are Latin-1.
UpdateRecord historyRecordOf(const USBDeviceInfo& device, const FirmwareImage& row,
                             const std::optional<std::string>& installed) {
    UpdateRecord record;
    record.serialNumber = fromLatin1(device.serialNumber).toStdString();
    record.variant = row.name;
    record.imageSize = row.size;
    record.imageCrc = crc32(row.data, row.size);
    if (installed)
        record.before = fromLatin1(*installed).toStdString();
    return record;
}

// Every update the panel runs goes into the user's history. One that cannot be written is only
// logged: the status line and the error box keep saying what became of the update itself.
void recordInHistory(UpdateRecord record, UpdateResult result, std::string message,
                     uint32_t elapsedMs) {
    record.result = result;
    record.message = std::move(message);
    record.seconds = elapsedMs / 1000.0;
    if (const std::optional<std::string> warning = recordUpdate(std::nullopt, std::move(record)))
        qWarning("%s", warning->c_str());
}

}  // namespace

VelantrixUpdaterWidget::VelantrixUpdaterWidget(const USBDeviceInfo& info, QWidget* parent)
    : VelantrixUpdaterWidget(platform::systemContext(), info, parent) {}

VelantrixUpdaterWidget::VelantrixUpdaterWidget(platform::Context on, const USBDeviceInfo& info,
                                               QWidget* parent)
    : UpdaterWidget(parent), context(on), deviceInfo(info) {
    auto* layout = new QVBoxLayout(this);

    auto* installedGroup = new QGroupBox(QLatin1String(messages::installedCaption));
    auto* installedLayout = new QHBoxLayout(installedGroup);
    installedVersionLabel = new QLabel;
    installedVersionLabel->setObjectName(QStringLiteral("installedVersionLabel"));
    installedVersionLabel->setToolTip(QLatin1String(messages::installedTip));
    installedLayout->addWidget(installedVersionLabel);
    layout->addWidget(installedGroup);

    auto* offeredGroup = new QGroupBox(QLatin1String(messages::offeredCaption));
    auto* offeredLayout = new QVBoxLayout(offeredGroup);
    offeredVersionLabel = new QLabel;
    offeredVersionLabel->setObjectName(QStringLiteral("offeredVersionLabel"));
    offeredVersionLabel->setToolTip(QLatin1String(messages::offeredTip));
    offeredLayout->addWidget(offeredVersionLabel);

    releaseNotesView = new QTextEdit;
    releaseNotesView->setObjectName(QStringLiteral("releaseNotesView"));
    releaseNotesView->setReadOnly(true);
    releaseNotesView->setLineWrapMode(QTextEdit::NoWrap);
    QFont notesFont = releaseNotesView->font();
    notesFont.setFamily(QStringLiteral("Courier New"));
    // Where that face is missing, still a fixed-pitch one: the notes are laid out in columns.
    notesFont.setStyleHint(QFont::Monospace);
    releaseNotesView->setFont(notesFont);
    offeredLayout->addWidget(releaseNotesView);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(new QLabel, 1);
    installButton = new QPushButton(QLatin1String(messages::installButton));
    installButton->setObjectName(QStringLiteral("installButton"));
    installButton->setDefault(true);
    installButton->setToolTip(QLatin1String(messages::installTip));
    buttonRow->addWidget(installButton);
    offeredLayout->addLayout(buttonRow);
    layout->addWidget(offeredGroup);

    // A failed update ends in the error box here: the exception must not unwind through Qt.
    connect(installButton, &QPushButton::clicked, this,
            [this] { reportingErrors([this] { updateFirmware(); }); });

    link = openUpdateLink(context, deviceInfo);
    const std::optional<std::string> installed = readInstalledFirmware(*link);
    firmwareInstalled = installed.has_value();
    installedDescription = installed;
    // The build text is the probe's to choose, and the label renders markup: shown as text.
    installedVersionLabel->setText(versionCaption +
                                   (installed ? fromLatin1(*installed).toHtmlEscaped()
                                              : QLatin1String(messages::notInstalledLabel)));
    updateImageInfo();
}

VelantrixUpdaterWidget::~VelantrixUpdaterWidget() = default;

void VelantrixUpdaterWidget::updateImageInfo() {
    const FirmwareImage* row = findFirmwareImage(deviceInfo);
    const bool valid = row && isValidImage(*row);
    QString description =
        QStringLiteral("<i>%1</i>").arg(QString::fromLatin1(messages::invalidImage));
    QString notes;
    if (valid) {
        description = fromLatin1(imageVersionDescription(*row));
        if (row->releaseNotes) {
            notes = QString::fromLatin1(row->releaseNotes, qsizetype(row->releaseNotesLength));
        }
    }
    installButton->setEnabled(valid);
    offeredVersionLabel->setText(versionCaption + description);
    releaseNotesView->setText(notes);
}

UpdateProgress VelantrixUpdaterWidget::progressReporter() {
    return [this](int step, int steps, const char* taskdesc, const char* units) {
        emit progress(step, steps, taskdesc, units);
    };
}

void VelantrixUpdaterWidget::erase(HDataLink* target, uint32_t address, uint32_t size) {
    eraseImage(*target, address, size, progressReporter());
}

void VelantrixUpdaterWidget::download(HDataLink* target, uint32_t address, uint32_t size,
                                      const uint8_t* bytes) {
    downloadImage(*target, address, size, bytes, progressReporter());
}

void VelantrixUpdaterWidget::verify(HDataLink* target, uint32_t address, uint32_t size,
                                    const uint8_t* bytes) {
    verifyImage(*target, address, size, bytes, progressReporter());
}

UpdatePhases VelantrixUpdaterWidget::panelPhases() {
    return {[this](HDataLink& target, uint32_t address, uint32_t size) {
                erase(&target, address, size);
            },
            [this](HDataLink& target, uint32_t address, uint32_t size, const uint8_t* bytes) {
                download(&target, address, size, bytes);
            },
            [this](HDataLink& target, uint32_t address, uint32_t size, const uint8_t* bytes) {
                verify(&target, address, size, bytes);
            }};
}

void VelantrixUpdaterWidget::updateFirmware() {
    const FirmwareImage* row = findFirmwareImage(deviceInfo);
    if (!row)
        return;  // no panel is built for such a probe; nothing to install
    installButton->setEnabled(false);
    if (mainWindow)
        mainWindow->setPollingEnabled(false);
    UpdateRecord record = historyRecordOf(deviceInfo, *row, installedDescription);
    const uint32_t started = context.clock.tickMs();
    // The flash is touched from the first erase on: a failure after it leaves the probe part-way.
    bool touched = false;
    UpdatePhases phases = panelPhases();
    phases.erase = [&touched, erase = phases.erase](HDataLink& target, uint32_t at, uint32_t size) {
        touched = true;
        erase(target, at, size);
    };
    try {
        installFirmware(context, link, deviceInfo, firmwareInstalled, *row, phases,
                        [this](unsigned attempt, unsigned attempts, uint32_t ms) {
                            waitForProbe(context.clock, attempt, attempts, ms);
                        });
    } catch (HException& failure) {
        record.partWay = touched;
        recordInHistory(record, UpdateResult::Failed, failure.message(),
                        context.clock.tickMs() - started);
        // A link that failed mid-exchange is not used again: the probe may have restarted under
        // it (firmware that was not recognised hands over to its loader on the first connect)
        // or left replies half read. The next press opens a fresh one.
        link.reset();
        installButton->setEnabled(true);
        if (mainWindow)
            mainWindow->setPollingEnabled(true);
        throw;
    }
    // Every block verified, the header first among them: the loader reports what it holds.
    record.after = fromLatin1(imageVersionDescription(*row)).toStdString();
    recordInHistory(record, UpdateResult::Updated, {}, context.clock.tickMs() - started);
    if (mainWindow)
        mainWindow->invalidatePanel();
    installButton->setEnabled(true);
    if (mainWindow)
        mainWindow->setPollingEnabled(true);
}
