#include <QApplication>
#include <QList>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "panel/control_panel.h"
#include "platform/command_line.h"
#include "platform/fonts.h"

#ifdef SCOREBOARD_TIMING_HOOKS
#include "timing_trace.h"
#endif

namespace {

// When Qt cannot reach a display it prints several lines about platform plugins and aborts.
// The operator needs one line that names the fix, so start-up messages are held back until
// the application exists, and a fatal one is replaced by that line.
QtMessageHandler g_qtHandler = nullptr;
QList<std::pair<QtMsgType, QString>> g_heldBack;

void holdBackStartupMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        // The X11 and Wayland plugins say so before the fatal message when no display answers.
        bool noDisplay = false;
        for (const auto& held : std::as_const(g_heldBack))
            noDisplay = noDisplay || held.second.contains(QLatin1String("connect to display"))
                || held.second.contains(QLatin1String("wl_display"));
        std::fputs(noDisplay ? "scoreboard: cannot open the display; start it from a desktop session, or set DISPLAY "
                               "(X11) or WAYLAND_DISPLAY (Wayland)\n"
                             : "scoreboard: the window system plugin could not start; install qt6-qpa-plugins (X11) "
                               "or qt6-wayland (Wayland), or unset QT_QPA_PLATFORM\n",
            stderr);
        std::_Exit(EXIT_FAILURE);
    }
    g_heldBack.append({ type, message });
}

void releaseStartupMessages()
{
    qInstallMessageHandler(g_qtHandler);
    for (const auto& [type, message] : std::as_const(g_heldBack))
        g_qtHandler(type, QMessageLogContext(), message);
    g_heldBack.clear();
}

} // namespace

int main(int argc, char* argv[])
{
#ifdef SCOREBOARD_TIMING_HOOKS
    const auto started = bench::TimingTrace::Clock::now();
#endif
    if (const auto status = platform::answerCommandLine(argc, argv))
        return *status;
    g_qtHandler = qInstallMessageHandler(holdBackStartupMessages);
    QApplication app(argc, argv);
    releaseStartupMessages();
    // Lets a Wayland desktop match the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.eightball_scoreboard.Scoreboard"));

    platform::installFontSubstitutes();
    if (!platform::hasCjkFace())
        std::fputs("scoreboard: no Chinese font found, so captions would show as empty boxes; "
                   "install the package fonts-noto-cjk\n",
            stderr);

    platform::SystemClock clock;
    platform::QtFileDialog fileDialog;
    platform::FilePictureLoader pictureLoader;
    panel::ControlPanel controlPanel({ clock, fileDialog, pictureLoader, [] { QCoreApplication::exit(0); } });
    controlPanel.show();
#ifdef SCOREBOARD_TIMING_HOOKS
    bench::TimingTrace trace(started, &controlPanel, controlPanel.findChild<QWidget*>(QStringLiteral("Label1")));
#endif
    return app.exec();
}
