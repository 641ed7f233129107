#include <QApplication>

#include <cstdio>

#include "panel/form1.h"
#include "platform/fonts.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    platform::installFontSubstitutes();
    if (!platform::hasCjkFace())
        std::fputs("scoreboard: no Chinese font found, captions would show as boxes; install fonts-noto-cjk\n", stderr);

    platform::SystemClock clock;
    platform::QtFileDialog fileDialog;
    platform::QtPictureLoader pictureLoader;
    panel::Form1 form1({ clock, fileDialog, pictureLoader, [] { QCoreApplication::exit(0); } });
    form1.show();
    return app.exec();
}
