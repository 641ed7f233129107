#pragma once

// What a window draws, against a reference picture beside the test: references/<release>/NAME.png, where <release>
// names the system (debian-12, debian-13: each release's Qt, FreeType and fonts draw text a little differently). A
// failure writes the picture seen to $SCOREBOARD_SEEN (or seen/ in the working folder), from where
// tests/make_references.sh takes it when the references are remade; SCOREBOARD_REFERENCES names another folder of
// references.

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QSysInfo>
#include <QTranslator>

#include "pixels.h"

namespace testing {

// The system the references were drawn on: Debian's release, which brings its own Qt, FreeType and fonts.
inline QString release() { return QSysInfo::productType() + '-' + QSysInfo::productVersion(); }

// Empty when `seen` matches the reference NAME to within `tolerance` in every channel of every pixel; else what
// differs, and the picture seen is written.
inline QString differenceFromReference(const QImage& seen, const QString& name, int tolerance = 8)
{
    const QString folder = qEnvironmentVariableIsSet("SCOREBOARD_REFERENCES")
        ? qEnvironmentVariable("SCOREBOARD_REFERENCES")
        : QStringLiteral(SCOREBOARD_REFERENCES);
    const QImage shown = seen.convertToFormat(QImage::Format_RGB32);
    const QImage reference
        = QImage(QDir(folder).filePath(release() + '/' + name + ".png")).convertToFormat(QImage::Format_RGB32);
    QString difference;
    if (reference.size() != shown.size()) {
        difference = QStringLiteral("no reference of %1 x %2").arg(shown.width()).arg(shown.height());
    } else if (const auto [count, largest] = differences(shown, reference, tolerance); count > 0) {
        difference = QStringLiteral("%1 pixels differ, by up to %2").arg(count).arg(largest);
    }
    if (difference.isEmpty())
        return {};
    const QDir out(qEnvironmentVariableIsSet("SCOREBOARD_SEEN") ? qEnvironmentVariable("SCOREBOARD_SEEN")
                                                                : QDir::current().filePath(QStringLiteral("seen")));
    const QString written = out.filePath(name + ".png");
    return difference
        + QStringLiteral(" from references/%1/%2.png; seen: %3")
              .arg(release(), name,
                  QDir().mkpath(out.path()) && shown.save(written) ? written : QStringLiteral("(not written)"));
}

// Qt's own translation for `locale`, installed as the program installs it while this lives: for Arabic or Hebrew it
// turns the application's layout direction right to left.
class QtTranslation {
public:
    explicit QtTranslation(const QString& locale)
    {
        if (m_translator.load(QLocale(locale), QStringLiteral("qtbase"), QStringLiteral("_"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(&m_translator);
    }
    ~QtTranslation() { QCoreApplication::removeTranslator(&m_translator); }
    QtTranslation(const QtTranslation&) = delete;
    QtTranslation& operator=(const QtTranslation&) = delete;

private:
    QTranslator m_translator;
};

} // namespace testing
