#include <QApplication>

#include "panel/control_panel.h"
#include "platform/command_line.h"
#include "platform/startup.h"

#ifdef SCOREBOARD_TIMING_HOOKS
#include "timing_trace.h"
#endif

int main(int argc, char* argv[])
{
#ifdef SCOREBOARD_TIMING_HOOKS
    const auto started = bench::TimingTrace::Clock::now();
#endif
    if (const auto status = platform::answerCommandLine(argc, argv))
        return *status;
    platform::holdBackStartupMessages();
    QApplication app(argc, argv);
    platform::releaseStartupMessages();
    platform::prepareApplication();

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
