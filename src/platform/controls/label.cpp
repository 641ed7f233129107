#include "platform/controls/label.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "platform/desktop/fonts.h"

namespace controls {

namespace {

    // The design face's line box is its em square; ideographs sit 0.88 em above the baseline.
    constexpr double kBaselineEm = 0.88;

} // namespace

Label::Label(QWidget* parent, const ControlDesign& design)
    : QWidget(parent)
    , m_text(QString::fromUtf8(design.text))
    , m_designPixels(desktop::pointsToPixels(design.fontPoints))
    , m_drawnPixels(m_designPixels)
    , m_foreground(design.foreground.resolve(parent->palette()))
    , m_align(design.align)
    , m_fit(design.fit)
    , m_fittedPixels(design.fittedPixels)
    , m_fittedStretch(design.fittedStretch)
{
    if (design.background)
        m_background = QColor::fromRgb(*design.background);
    setFont(desktop::designFontPixels(m_designPixels));
}

void Label::setText(const QString& text, Qt::LayoutDirection direction)
{
    if (direction != layoutDirection()) {
        setLayoutDirection(direction); // which the painter takes
        update();
    }
    if (text == m_text)
        return;
    m_text = text;
    m_fittedPixels = 0; // the fit worked out in the design is for the design's text
    updateFit();
    update();
}

int Label::drawnPixelSize() const { return m_drawnPixels; }

void Label::setFontScale(double factor)
{
    m_fontScale = factor;
    updateFit();
    update();
}

void Label::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateFit();
}

void Label::mousePressEvent(QMouseEvent* event) { event->accept(); }

void Label::updateFit()
{
    const int full = std::max(1, static_cast<int>(std::lround(m_designPixels * m_fontScale)));
    m_drawnPixels = full;
    int narrowing = QFont::Unstretched;
    // Each size and stretch tried loads a font engine of its own, the costly part of a fit. Advances scale with
    // both, so one measurement at full size predicts the fit, and only the prediction is checked.
    const auto fontFor = [](int pixels, int stretch) {
        QFont font = desktop::designFontPixels(pixels);
        if (stretch != QFont::Unstretched)
            font.setStretch(stretch);
        return font;
    };
    if (m_fittedPixels > 0 && m_fontScale == 1.0) {
        m_drawnPixels = m_fittedPixels;
        narrowing = m_fittedStretch;
    } else if (m_fit == Fit::Shrink && !m_text.isEmpty()) {
        const QStringList lines = m_text.split(QLatin1Char('\n'));
        const auto widest = [&](int pixels, int stretch) {
            const QFontMetricsF metrics(fontFor(pixels, stretch));
            double widest = 0;
            for (const QString& line : lines)
                widest = std::max(widest, metrics.horizontalAdvance(line));
            return widest;
        };
        const double fullWidth = widest(full, QFont::Unstretched);
        const auto tallEnough = [&](int pixels) { return pixels * lines.size() <= height(); };
        if (fullWidth > width() || !tallEnough(full)) {
            // First narrow the glyphs a little at full height: the faces that stand in for the
            // design face set digits wider than it did. Only then make the text smaller.
            if (fullWidth > width())
                narrowing = std::clamp(static_cast<int>(100 * width() / fullWidth), kMinStretch, 100);
            const double predicted = fullWidth * narrowing / 100;
            if (predicted > width() || !tallEnough(full)) {
                const double ratio = std::min(width() / predicted, double(height()) / (full * lines.size()));
                m_drawnPixels = std::clamp(static_cast<int>(full * ratio), 1, full);
            }
            while (m_drawnPixels > 1 && widest(m_drawnPixels, narrowing) > width())
                --m_drawnPixels;
        }
    }
    setFont(fontFor(m_drawnPixels, narrowing));
}

void Label::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setLayoutDirection(layoutDirection()); // a painter starts in the application's direction
    if (m_background)
        painter.fillRect(rect(), *m_background);
    if (m_text.isEmpty())
        return;

    // Lines break only where the text says: no caption here is wider than its label but by design (Label1 on the
    // backdrop, clipped to a sliver), and that one has no blank to break at.
    const QFontMetricsF metrics(font());
    const QStringList lines = m_text.split(QLatin1Char('\n'));

    const double lineHeight = m_drawnPixels;
    double top = 0;
    if (m_align == TextAlign::Centre)
        top = (height() - lineHeight * lines.size()) / 2.0;
    painter.setPen(m_foreground);
    for (const QString& line : lines) {
        double x = 0;
        if (m_align == TextAlign::Centre)
            x = (width() - metrics.horizontalAdvance(line)) / 2.0;
        painter.drawText(QPointF(x, top + kBaselineEm * lineHeight), line);
        top += lineHeight;
    }
}

} // namespace controls
