// Reads the screen for the real-window checks. Xvfb has no compositor, so the
// root window holds exactly what a person at the screen would see.
//
//   screenpixel X,Y...        prints "X,Y RRGGBB" for each point
//   screenpixel --png FILE    saves the whole screen
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QStringList>
#include <QTextStream>

namespace {

int fail(const QString& message)
{
    QTextStream(stderr) << "screenpixel: " << message << '\n';
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments().mid(1);
    if (args.isEmpty())
        return fail(QStringLiteral("usage: screenpixel X,Y... | --png FILE"));

    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return fail(QStringLiteral("no screen"));
    const QImage image = screen->grabWindow(0).toImage();
    if (image.isNull())
        return fail(QStringLiteral("could not grab the screen"));

    if (args.first() == QLatin1String("--png")) {
        if (args.size() != 2)
            return fail(QStringLiteral("--png takes one file name"));
        if (!image.save(args.at(1), "PNG"))
            return fail(QStringLiteral("could not write ") + args.at(1));
        return 0;
    }

    QTextStream out(stdout);
    for (const QString& arg : args) {
        const QStringList parts = arg.split(QLatin1Char(','));
        bool okX = false;
        bool okY = false;
        const int x = parts.size() == 2 ? parts.at(0).toInt(&okX) : 0;
        const int y = parts.size() == 2 ? parts.at(1).toInt(&okY) : 0;
        if (!okX || !okY)
            return fail(QStringLiteral("not a point: ") + arg);
        if (!image.rect().contains(x, y))
            return fail(QStringLiteral("point off the screen: ") + arg);
        out << x << ',' << y << ' ' << QString::asprintf("%06X", image.pixel(x, y) & 0xFFFFFFu) << '\n';
    }
    return 0;
}
