#include "ui/Updater.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "ui/WindowTexts.h"

Updater* mainWindow = nullptr;

namespace {

// The literal ratios, not 4/3, 16/9 or the exact golden ratio: the window sizes must not drift.
constexpr double aspectRatios[] = {1.333, 1.778, 1.618};

QLabel* makeHardwareLabel(const char* objectName, const char* toolTip) {
    auto* label = new QLabel;
    label->setObjectName(QLatin1String(objectName));
    label->setToolTip(QLatin1String(toolTip));
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    return label;
}

}  // namespace

// NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks): the timers of startPolling
Updater::Updater(QWidget* parent) : Updater(platform::systemContext(), parent) {}

Updater::Updater(platform::Context on, QWidget* parent)
    : QMainWindow(parent), context(on), attachedDevices(context) {
    setWindowTitle(QLatin1String(messages::windowTitle));

    auto* central = new QWidget;
    auto* centralLayout = new QVBoxLayout(central);

    hardwareGroup = new QGroupBox(QLatin1String(messages::hardwareCaption));
    hardwareGroup->setObjectName(QStringLiteral("hardwareGroup"));
    auto* hardwareLayout = new QHBoxLayout(hardwareGroup);
    variantLabel = makeHardwareLabel("variantLabel", messages::variantTip);
    serialNumberLabel = makeHardwareLabel("serialNumberLabel", messages::serialNumberTip);
    hardwareLayout->addWidget(variantLabel);
    hardwareLayout->addWidget(serialNumberLabel);
    centralLayout->addWidget(hardwareGroup);

    firmwareGroup = new QGroupBox(QLatin1String(messages::firmwareCaption));
    firmwareGroup->setObjectName(QStringLiteral("firmwareGroup"));
    auto* firmwareLayout = new QHBoxLayout(firmwareGroup);
    firmwareLayout->setContentsMargins(0, 0, 0, 0);
    firmwareStack = new QStackedWidget;
    firmwareStack->setObjectName(QStringLiteral("firmwareStack"));
    firmwareStack->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    emptyPage = new QWidget;
    emptyPage->setObjectName(QStringLiteral("emptyPage"));
    firmwareStack->addWidget(emptyPage);
    firmwareLayout->addWidget(firmwareStack);
    centralLayout->addWidget(firmwareGroup);

    auto* statusGroup = new QGroupBox(QLatin1String(messages::statusCaption));
    statusGroup->setObjectName(QStringLiteral("statusGroup"));
    auto* statusLayout = new QVBoxLayout(statusGroup);
    statusLabel = new QLabel;
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    progressBar = new QProgressBar;
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setTextVisible(false);
    statusLayout->addWidget(statusLabel);
    statusLayout->addWidget(progressBar);
    centralLayout->addWidget(statusGroup);

    startPolling();  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks): see startPolling

    resize(sizeForColumns(font(), 120, AspectGolden));
    setCentralWidget(central);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        const int cx = (area.left() + area.right()) / 2;
        const int cy = (area.top() + area.bottom()) / 2;
        move(cx - width() / 2, cy - height() / 2);
    }
}

Updater::~Updater() = default;

void Updater::startPolling() {
    auto* pollTimer = new QTimer(this);
    pollTimer->setObjectName(QStringLiteral("pollTimer"));
    connect(pollTimer, &QTimer::timeout, this, &Updater::poll);
    pollTimer->start(1000);
    // The first poll waits for the event loop: building a panel talks to the probe, which may
    // take seconds when it misbehaves, and the window is to be on screen before that. (The
    // analyzer loses the slot object Qt hands to the timer, which owns and frees it.)
    // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks)
    QTimer::singleShot(0, this, &Updater::pollOnceDrawn);
}

void Updater::pollOnceDrawn() {
    // A shown window is exposed by the window system a moment later; it is drawn first, so the
    // user sees it while a slow probe answers.
    const QWindow* handle = windowHandle();
    if (isVisible() && handle && !handle->isExposed() && exposeWaitsLeft > 0) {
        --exposeWaitsLeft;
        // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks) as in startPolling
        QTimer::singleShot(kExposeWaitMs, this, &Updater::pollOnceDrawn);
        return;
    }
    if (isVisible())
        repaint();
    poll();
}

QSize Updater::sizeForColumns(const QFont& font, int columns, AspectRatio aspect) {
    const int width = QFontMetrics(font).averageCharWidth() * columns;
    const int height = static_cast<int>(width / aspectRatios[aspect]);
    return {width, height};
}

void Updater::setStatus(const QString& text, bool repaint) {
    QString sentence = text;
    if (!sentence.isEmpty()) {
        sentence[0] = sentence[0].toUpper();
        if (!sentence.endsWith(QLatin1Char('.')))
            sentence += QLatin1Char('.');
    }
    statusLabel->setText(sentence);
    if (repaint)
        statusLabel->repaint();
}

void Updater::setSerialNumber(const QString& serial) {
    // The probe chose this text, and the label renders markup: an <img> naming a device file
    // would have the label read it (forever, for /dev/zero).
    serialNumberLabel->setText(QLatin1String(messages::serialNumberLabel) + serial.toHtmlEscaped());
}

void Updater::setVariant(const QString& name) {
    variantLabel->setText(QLatin1String(messages::variantLabel) + name);
}

void Updater::setPollingEnabled(bool enabled) {
    pollingEnabled = enabled;
    // The update is over: whatever its last report held back is drawn now.
    if (enabled && !statusLabel->updatesEnabled())
        statusLabel->setUpdatesEnabled(true);
    if (enabled && !progressBar->updatesEnabled())
        drawBar();
}

void Updater::invalidatePanel() {
    panelCurrent = false;
}

void Updater::progress(int step, int steps, const char* taskdesc, const char* /*units*/) {
    // Held while the value changes: QProgressBar::setValue would draw it at once.
    progressBar->setUpdatesEnabled(false);
    if (taskdesc) {
        setStatus(QString::fromLatin1(taskdesc), false);
        statusLabel->setUpdatesEnabled(true);  // held by the last phase's end
    }
    if (steps != -1)
        progressBar->setMaximum(steps);
    progressBar->setValue(step);
    if (progressBar->maximum() == step) {
        // The next phase starts in the very next report, no request between: the end drawn here
        // (a full bar, then an empty one) would be gone before anyone could see it. The emptied
        // bar and line wait for that report, or for the update to be over.
        progressBar->setValue(0);
        statusLabel->setUpdatesEnabled(false);
        setStatus(QString(), false);
    } else if (taskdesc ? step != barShows : context.clock.tickMs() - barDrawnAtMs >= kBarDrawMs) {
        // A new phase's empty bar looks like the last one's: only the sentence is new then.
        drawBar();
    }
    // The update runs on this thread; pumping events here keeps the window alive meanwhile, and
    // draws what this report changed, the line and the bar together, before the update goes on.
    QCoreApplication::processEvents();
}

void Updater::drawBar() {
    progressBar->setUpdatesEnabled(true);  // asks the event loop for a drawing
    barShows = progressBar->value();
    barDrawnAtMs = context.clock.tickMs();
}
