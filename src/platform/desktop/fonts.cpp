#include "platform/desktop/fonts.h"

#include <QFontDatabase>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <thread>

#include <fontconfig/fontconfig.h>

namespace desktop {

namespace {
    std::thread g_configuration;

    // The face every caption is set in: the design face where a machine has it, else the first Song-style CJK
    // face of these it has. Looked up once, so that no font is ever matched through a substitution.
    QString g_family = kDesignFamily;
} // namespace

void startFontConfiguration()
{
    g_configuration = std::thread([] { FcInit(); });
}

bool resolveDesignFace()
{
    if (g_configuration.joinable())
        g_configuration.join();
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    for (const QString& family : { kDesignFamily, QStringLiteral("Noto Serif CJK SC"), QStringLiteral("SimSun"),
             QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing") }) {
        if (chinese.contains(family)) {
            g_family = family;
            return true;
        }
    }
    return false;
}

int pointsToPixels(double points) { return static_cast<int>(std::lround(points * 96.0 / 72.0)); }

QFont designFont(double points) { return designFontPixels(pointsToPixels(points)); }

QFont designFontPixels(int pixels)
{
    QFont font(g_family);
    font.setPixelSize(std::max(1, pixels));
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::Serif);
    return font;
}

} // namespace desktop
