#pragma once

#include <QFont>
#include <QMainWindow>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "link/WatchedDeviceListing.h"
#include "platform/Context.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QStackedWidget;
class VelantrixUpdaterWidget;
struct ProbeAssessment;

// The program's one window: the attached probe's identity ("Hardware"), the per-probe firmware
// panel ("Firmware") and a status line with a progress bar ("Status"). A one-second poll keeps
// them in step with what is attached. Lives on the GUI thread, as every widget, and is used from
// that thread only.
class Updater : public QMainWindow {
    Q_OBJECT

public:
    enum AspectRatio { Aspect4x3 = 0, Aspect16x9 = 1, AspectGolden = 2 };

    // The poll lists, and each panel opens its probe and waits, on `context`.
    explicit Updater(platform::Context context, QWidget* parent = nullptr);
    // On the program's own system platform and steady clock.
    explicit Updater(QWidget* parent = nullptr);
    ~Updater() override;

    // The status sentence: first letter capitalised, one full stop at the end; empty clears.
    // `repaint` draws it at once instead of on the next pass of the event loop.
    void setStatus(const QString& text, bool repaint);
    void setSerialNumber(const QString& serial);
    void setVariant(const QString& name);
    // Switched off by a running update so that the poll leaves the probe and panel alone.
    void setPollingEnabled(bool enabled);
    // Marks the panel stale so the next polls rebuild it and read the firmware back.
    void invalidatePanel();

    bool isPollingEnabled() const { return pollingEnabled; }
    bool isPanelCurrent() const { return panelCurrent; }

    // Width from the font's average character width times `columns`; height from the ratio.
    static QSize sizeForColumns(const QFont& font, int columns, AspectRatio aspect);

public slots:
    // Every report sets the bar's range and value; what is drawn when is paced, see below.
    void progress(int step, int steps, const char* taskdesc, const char* units);

protected slots:
    void poll();

private:
    // How long the first poll waits for the shown window to be exposed: at most 50 x 20 ms.
    static constexpr int kExposeWaits = 50;
    static constexpr int kExposeWaitMs = 20;
    // The one-second poll timer, and the first poll as soon as the window is on screen.
    void startPolling();
    int exposeWaitsLeft = kExposeWaits;
    void pollOnceDrawn();

    // A probe whose panel could not be built (its loader does not answer, say) is asked again
    // only after this long, so that the window is not frozen by it tick after tick.
    static constexpr uint32_t kRetryRefusedProbeMs = 5000;
    struct Refusal {
        std::string serialNumber;
        uint32_t atMs = 0;
    };
    std::optional<Refusal> refusal;

    // No probe, or several: captions alone, both areas off, the empty page.
    void showNoProbe(const QString& status);
    void showNotUpdatable(const ProbeAssessment& assessment);
    // The status alone for the probe shown before; another probe is shown as no probe.
    void showUnsupported(bool sameProbe);
    // Builds the panel for the one ready probe; throws HException when it cannot talk to it.
    void showPanelFor(const ProbeAssessment& assessment);

    // Qt draws a bar that moved at once, and an update reports after every request: a drawing
    // per request was most of what an update cost the window. The bar is drawn by the event
    // loop instead, at most every kBarDrawMs of the window's clock. A report draws what it
    // changed, status line and bar, in one pass of the processEvents that ends it, before the
    // update goes on; a phase's end is held for the next phase's sentence, and the last one's
    // for the end of the update (setPollingEnabled(true)), so that no update ends on a stale
    // bar. Between two drawings the bar's updates are held: a window that is covered and
    // uncovered meanwhile shows the bar's place blank until the next drawing, at most
    // kBarDrawMs later.
    static constexpr uint32_t kBarDrawMs = 50;
    // Lets the event loop draw the bar again.
    void drawBar();
    uint32_t barDrawnAtMs = 0;
    int barShows = -1;  // the value last drawn; a bar never drawn shows none

    QLabel* statusLabel;
    QProgressBar* progressBar;
    QGroupBox* hardwareGroup;
    QLabel* serialNumberLabel;
    QLabel* variantLabel;
    QGroupBox* firmwareGroup;
    QStackedWidget* firmwareStack;
    QWidget* emptyPage;
    const platform::Context context;
    WatchedDeviceListing attachedDevices;
    VelantrixUpdaterWidget* firmwarePanel = nullptr;
    QString currentSerialNumber;
    // The one probe the last poll without a panel judged, empty for none or several.
    std::string judgedSerialNumber;
    bool panelCurrent = true;
    bool pollingEnabled = true;
};

// The one window, set by main once it is built and valid until the process ends.
extern Updater* mainWindow;
