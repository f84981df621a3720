#pragma once

#include <QWidget>

// Base of the per-probe firmware panels: what the window listens to while an update runs.
class UpdaterWidget : public QWidget {
    Q_OBJECT

public:
    explicit UpdaterWidget(QWidget* parent = nullptr) : QWidget(parent) {}

signals:
    // `step` units of the current task done of `steps` (-1: total unchanged since the last
    // report that gave one). `taskdesc` is a new task sentence or null; `units` names the unit
    // ("bytes") or is null. Receivers run inside the emission, on this thread.
    void progress(int step, int steps = -1, const char* taskdesc = nullptr,
                  const char* units = nullptr);
};
