#pragma once

#include <QTimer>

namespace desktop {

// A QTimer switched on and off like a control: enabled, it ticks every interval, the first tick one interval after
// enabling, and enabling it again leaves its ticks as they were. Its owner may set when the next tick comes, which
// keeps a clock on whole seconds (the ticks after it come at the interval again), and a tick handler may switch it
// off.
class Timer final : public QTimer {
    Q_OBJECT
public:
    Timer(QObject* parent, const QString& name, int intervalMs, bool enabled);

    void setEnabled(bool enabled);
    // The next tick comes after `ms` instead of the interval (only while enabled).
    void setNextTickIn(int ms);

private:
    int m_interval;
};

} // namespace desktop
