#include "platform/desktop/fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace desktop {

void installFontSubstitutes()
{
    QFont::insertSubstitutions(kDesignFamily,
        { QStringLiteral("Noto Serif CJK SC"), QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN"),
            QStringLiteral("AR PL UMing") });
}

bool hasCjkFace()
{
    const QString family = QFontInfo(designFont(9)).family();
    return QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese);
}

int pointsToPixels(double points) { return static_cast<int>(std::lround(points * 96.0 / 72.0)); }

QFont designFont(double points) { return designFontPixels(pointsToPixels(points)); }

QFont designFontPixels(int pixels)
{
    QFont font(kDesignFamily);
    font.setPixelSize(std::max(1, pixels));
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::Serif);
    return font;
}

} // namespace desktop
