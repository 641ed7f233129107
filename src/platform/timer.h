#pragma once

#include <QObject>
#include <QTimer>

namespace platform {

// A timer that is switched on and off like a control: enabled, it ticks every interval, the
// first tick one interval after enabling. Its owner may set when the next tick comes, which
// keeps a clock on whole seconds, and a tick handler may disable it.
class Timer final : public QObject {
    Q_OBJECT
public:
    Timer(QObject* parent, const QString& name, int intervalMs, bool enabled);

    void setEnabled(bool enabled);
    [[nodiscard]] bool isEnabled() const { return m_enabled; }
    [[nodiscard]] int interval() const { return m_interval; }
    // How long until the next tick, or -1 when disabled.
    [[nodiscard]] int remainingMs() const { return m_timer.remainingTime(); }
    // The next tick comes after `ms` instead of the interval (only while enabled).
    void setNextTickIn(int ms);

Q_SIGNALS:
    void tick();

private:
    void fire();

    QTimer m_timer;
    int m_interval;
    bool m_enabled = false;
};

} // namespace platform
