#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QString>

namespace desktop {

// Where time comes from: a monotonic clock for the match time, local date and time for the
// wall clock. Tests hand in a clock they move themselves.
class Clock {
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual qint64 monotonicMs() const = 0;
    [[nodiscard]] virtual QDateTime localNow() const = 0;
};

class SystemClock final : public Clock {
public:
    SystemClock() { m_elapsed.start(); }
    [[nodiscard]] qint64 monotonicMs() const override { return m_elapsed.elapsed(); }
    [[nodiscard]] QDateTime localNow() const override { return QDateTime::currentDateTime(); }

private:
    QElapsedTimer m_elapsed;
};

// The general date-and-time form: the short date, then the time, read in the locale's direction.
struct DateTimeText {
    QString date;
    QString time;
    Qt::LayoutDirection direction = Qt::LeftToRight;
};

// The locale's short date and its long time form without a time-zone name.
[[nodiscard]] DateTimeText dateTimeText(const QDateTime& when, const QLocale& locale = QLocale::system());

} // namespace desktop
