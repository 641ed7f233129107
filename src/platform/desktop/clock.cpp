#include "platform/desktop/clock.h"

#include <QRegularExpression>

namespace desktop {

namespace {

    // Drops the time-zone fields ('t', outside quoted text) and the blanks they leave behind.
    QString withoutTimeZone(const QString& format)
    {
        QString out;
        bool quoted = false;
        for (const QChar c : format) {
            if (c == QLatin1Char('\''))
                quoted = !quoted;
            if (!quoted && c == QLatin1Char('t'))
                continue;
            out += c;
        }
        // Some locales put the zone in brackets ("H:mm:ss (t)"), which would be left empty.
        return out.remove(QRegularExpression(QStringLiteral("\\(\\s*\\)"))).simplified();
    }

} // namespace

DateTimeText dateTimeText(const QDateTime& when, const QLocale& locale)
{
    return { locale.toString(when.date(), QLocale::ShortFormat),
        locale.toString(when.time(), withoutTimeZone(locale.timeFormat(QLocale::LongFormat))), locale.textDirection() };
}

} // namespace desktop
