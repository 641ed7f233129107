#include <QApplication>

#include "panel/control_panel.h"
#include "platform/desktop/command_line.h"
#include "platform/desktop/fonts.h"
#include "platform/desktop/startup.h"
#include "platform/desktop/window_system.h"

#ifdef SCOREBOARD_TIMING_HOOKS
#include "timing_trace.h"
#endif

int main(int argc, char* argv[])
{
#ifdef SCOREBOARD_TIMING_HOOKS
    const auto started = bench::TimingTrace::Clock::now();
#endif
    if (const auto status = desktop::answerCommandLine(argc, argv))
        return *status;
    desktop::startFontConfiguration();
    desktop::holdBackStartupMessages();
    QApplication app(argc, argv);
    desktop::releaseStartupMessages();
    desktop::prepareApplication();

    desktop::SystemClock clock;
    desktop::QtFileDialog fileDialog;
    photo::FilePictureLoader pictureLoader;
    panel::ControlPanel controlPanel({ clock, fileDialog, pictureLoader, [] { QCoreApplication::exit(0); } });
    controlPanel.show();
#ifdef SCOREBOARD_TIMING_HOOKS
    auto* photoFrame = controlPanel.findChild<controls::PictureFrame*>(QStringLiteral("Image2"));
    bench::TimingTrace trace(started, &controlPanel, controlPanel.findChild<QWidget*>(QStringLiteral("Label1")),
        { [&controlPanel] { return controlPanel.photosLoading() > 0; },
            [photoFrame](const QString& file) { Q_EMIT photoFrame->fileDropped(file); } });
#endif
    const int status = app.exec();
    return desktop::endProgram(status, controlPanel.photosLoading() > 0);
}
