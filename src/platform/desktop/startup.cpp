#include "platform/desktop/startup.h"

#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

#include "platform/desktop/fonts.h"

namespace desktop {

namespace {
    QtMessageHandler g_qtHandler = nullptr;
    QList<std::pair<QtMsgType, QString>> g_heldBack;

    void holdBack(QtMsgType type, const QMessageLogContext&, const QString& message)
    {
        if (type == QtFatalMsg) {
            QStringList held;
            for (const auto& [heldType, heldMessage] : std::as_const(g_heldBack))
                held << heldMessage;
            std::fputs(qPrintable(startupFailureLine(held) + QLatin1Char('\n')), stderr);
            std::_Exit(EXIT_FAILURE);
        }
        g_heldBack.append({ type, message });
    }
} // namespace

QString startupFailureLine(const QStringList& heldMessages)
{
    // The X11 and Wayland plugins say so before the fatal message when no display answers.
    for (const QString& message : heldMessages) {
        if (message.contains(QLatin1String("connect to display")) || message.contains(QLatin1String("wl_display")))
            return QStringLiteral("scoreboard: cannot open the display; start it from a desktop session, or set "
                                  "DISPLAY (X11) or WAYLAND_DISPLAY (Wayland)");
    }
    return QStringLiteral("scoreboard: the window system plugin could not start; install qt6-qpa-plugins (X11) or "
                          "qt6-wayland (Wayland), or unset QT_QPA_PLATFORM");
}

void holdBackStartupMessages() { g_qtHandler = qInstallMessageHandler(holdBack); }

void releaseStartupMessages()
{
    qInstallMessageHandler(g_qtHandler);
    for (const auto& [type, message] : std::as_const(g_heldBack))
        g_qtHandler(type, QMessageLogContext(), message);
    g_heldBack.clear();
}

void prepareApplication()
{
    // Lets a Wayland desktop match the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.eightball_scoreboard.Scoreboard"));
    // Qt's own texts (the file dialog, the name boxes' context menu) in the operator's language; the program's own
    // captions are the same in every locale.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    const bool chinese = resolveDesignFace();
    // A control without a font of its own uses the design face at 9 pt, and so does Qt for text it lays out before
    // a control's font is set (a name box's first, empty line): no other face is ever loaded.
    QGuiApplication::setFont(designFont(9));
    if (!chinese)
        std::fputs("scoreboard: no Chinese font found, so captions would show as empty boxes; "
                   "install the package fonts-noto-cjk\n",
            stderr);
}

} // namespace desktop
