#include "platform/desktop/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace desktop {

namespace {
    constexpr int kUsageError = 2;

    void print(std::FILE* stream, const QString& text) { std::fputs(qPrintable(text), stream); }
} // namespace

std::optional<int> answerCommandLine(int argc, char* argv[])
{
    // A plain start pays nothing for parsing.
    if (argc <= 1)
        return std::nullopt;

    // Gone again before the scoreboard's own application object is made.
    QCoreApplication app(argc, argv);
    const QString name = QStringLiteral("scoreboard");
    QCoreApplication::setApplicationName(name);
    QCoreApplication::setApplicationVersion(QStringLiteral(SCOREBOARD_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Scoreboard for two-player eight-ball matches: a control panel for the operator, worked\n"
                       "from the keyboard, and a full-screen backdrop with the match time for the audience."));
    // Not addHelpOption(): its --help-all lists Qt's own options, which this program does not take either.
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Show this help."));
    const QCommandLineOption version(
        { QStringLiteral("v"), QStringLiteral("version") }, QStringLiteral("Show the version."));
    parser.addOption(help);
    parser.addOption(version);

    QString mistake;
    if (!parser.parse(QCoreApplication::arguments()))
        mistake = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        mistake = QStringLiteral("Unexpected argument '%1': the scoreboard opens no file.")
                      .arg(parser.positionalArguments().constFirst());
    if (!mistake.isEmpty()) {
        print(stderr, QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(name, mistake));
        return kUsageError;
    }
    if (parser.isSet(help)) {
        print(stdout, parser.helpText());
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, QStringLiteral("%1 %2\n").arg(name, QCoreApplication::applicationVersion()));
        return 0;
    }
    return std::nullopt; // "--" alone
}

} // namespace desktop
