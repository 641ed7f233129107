#include "platform/controls/resizer.h"

#include <QEvent>

#include <algorithm>

#include "platform/controls/label.h"
#include "platform/controls/line.h"

namespace controls {

ProportionalResizer::ProportionalResizer(
    QWidget* window, int designWidthTwips, int designHeightTwips, std::span<const ControlDesign> designs)
    : QObject(window)
    , m_window(window)
    , m_designPixels(double(designWidthTwips) / kTwipsPerPixel, double(designHeightTwips) / kTwipsPerPixel)
    , m_designs(designs)
{
    setObjectName(QStringLiteral("ReSize1"));
    window->installEventFilter(this);
}

bool ProportionalResizer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Resize)
        apply();
    return false;
}

void ProportionalResizer::apply()
{
    const QSizeF factors(m_window->width() / m_designPixels.width(), m_window->height() / m_designPixels.height());
    if (factors == m_factors)
        return;
    m_factors = factors;
    const double fontFactor = std::min(factors.width(), factors.height());
    for (const ControlDesign& design : m_designs) {
        QWidget* control = m_window->findChild<QWidget*>(QString::fromUtf8(design.name), Qt::FindDirectChildrenOnly);
        if (!control)
            continue;
        if (auto* line = qobject_cast<Line*>(control)) {
            line->setScale(factors.width(), factors.height());
            continue;
        }
        control->setGeometry(toPixels(design.rect, factors.width(), factors.height()));
        if (auto* label = qobject_cast<Label*>(control))
            label->setFontScale(fontFactor);
    }
}

} // namespace controls
