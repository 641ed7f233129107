#include "platform/controls.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/fonts.h"

namespace platform {

namespace {

    // The design face's line box is its em square; ideographs sit 0.88 em above the baseline.
    constexpr double kBaselineEm = 0.88;

    // Breaks a paragraph at blanks wherever it is wider than the label, as a label does.
    QStringList wrapAtBlanks(const QString& paragraph, const QFontMetricsF& metrics, double width)
    {
        QStringList lines;
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '))) {
            const QString candidate = line.isNull() ? word : line + QLatin1Char(' ') + word;
            if (!line.isNull() && metrics.horizontalAdvance(candidate) > width) {
                lines << line;
                line = word;
            } else {
                line = candidate;
            }
        }
        lines << line;
        return lines;
    }

    void applyTextColours(QWidget* widget, const ControlDesign& design)
    {
        QPalette palette = widget->palette();
        const QColor text = design.foreground.resolve(palette);
        palette.setColor(QPalette::WindowText, text);
        palette.setColor(QPalette::Text, text);
        if (design.background) {
            palette.setColor(QPalette::Base, QColor::fromRgb(*design.background));
            palette.setColor(QPalette::Window, QColor::fromRgb(*design.background));
        }
        widget->setPalette(palette);
    }

    QWidget* createControl(QWidget* window, const ControlDesign& design)
    {
        switch (design.kind) {
        case ControlKind::Button: {
            auto* button = new QPushButton(QString::fromUtf8(design.text), window);
            button->setAutoDefault(false);
            button->setFont(designFont(design.fontPoints));
            button->setEnabled(design.enabled);
            return button;
        }
        case ControlKind::TextBox: {
            // The font goes in before the text: laid out in the default face, a CJK name would first
            // make Qt search every installed font for a fallback.
            auto* box = new QLineEdit(window);
            box->setFont(designFont(design.fontPoints));
            box->setText(QString::fromUtf8(design.text));
            // Borderless, so the name blends into the green it stands on.
            box->setFrame(false);
            box->setAlignment(Qt::AlignCenter);
            box->setToolTip(QString::fromUtf8(design.toolTip));
            applyTextColours(box, design);
            return box;
        }
        case ControlKind::Label:
            return new Label(window, design);
        case ControlKind::PictureFrame:
            return new PictureFrame(window);
        case ControlKind::Shape:
            return new Shape(window, design);
        case ControlKind::Line:
            return new Line(window, design);
        }
        return nullptr;
    }

} // namespace

QColor Colour::resolve(const QPalette& palette) const
{
    return rgb ? QColor::fromRgb(*rgb) : palette.color(QPalette::Active, role);
}

// ---------------------------------------------------------------------------------------------

Label::Label(QWidget* parent, const ControlDesign& design)
    : QWidget(parent)
    , m_text(QString::fromUtf8(design.text))
    , m_designPixels(pointsToPixels(design.fontPoints))
    , m_drawnPixels(m_designPixels)
    , m_foreground(design.foreground.resolve(parent->palette()))
    , m_align(design.align)
    , m_fit(design.fit)
{
    if (design.background)
        m_background = QColor::fromRgb(*design.background);
    setFont(designFontPixels(m_designPixels));
}

void Label::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
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
    m_stretch = QFont::Unstretched;
    // Each size and stretch tried loads a font engine of its own, the costly part of a fit. Advances scale with
    // both, so one measurement at full size predicts the fit, and only the prediction is checked.
    const auto fontFor = [](int pixels, int stretch) {
        QFont font = designFontPixels(pixels);
        if (stretch != QFont::Unstretched)
            font.setStretch(stretch);
        return font;
    };
    if (m_fit == Fit::Shrink && !m_text.isEmpty()) {
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
                m_stretch = std::clamp(static_cast<int>(100 * width() / fullWidth), kMinStretch, 100);
            const double predicted = fullWidth * m_stretch / 100;
            if (predicted > width() || !tallEnough(full)) {
                const double ratio = std::min(width() / predicted, double(height()) / (full * lines.size()));
                m_drawnPixels = std::clamp(static_cast<int>(full * ratio), 1, full);
            }
            while (m_drawnPixels > 1 && widest(m_drawnPixels, m_stretch) > width())
                --m_drawnPixels;
        }
    }
    setFont(fontFor(m_drawnPixels, m_stretch));
}

void Label::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_background)
        painter.fillRect(rect(), *m_background);
    if (m_text.isEmpty())
        return;

    const QFontMetricsF metrics(font());
    QStringList lines;
    for (const QString& paragraph : m_text.split(QLatin1Char('\n'))) {
        if (m_fit == Fit::Clip)
            lines << wrapAtBlanks(paragraph, metrics, width());
        else
            lines << paragraph;
    }

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

// ---------------------------------------------------------------------------------------------

PictureFrame::PictureFrame(QWidget* parent)
    : QWidget(parent)
{
    setAcceptDrops(true);
    setCursor(Qt::PointingHandCursor);
}

void PictureFrame::setPicture(const QImage& picture)
{
    m_picture = picture;
    update();
}

void PictureFrame::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), m_picture);
}

void PictureFrame::mousePressEvent(QMouseEvent* event) { m_pressed = event->button() == Qt::LeftButton; }

void PictureFrame::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        Q_EMIT clicked();
}

void PictureFrame::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.front().isLocalFile())
        event->acceptProposedAction();
}

void PictureFrame::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return;
    event->acceptProposedAction();
    Q_EMIT fileDropped(urls.front().toLocalFile());
}

// ---------------------------------------------------------------------------------------------

Shape::Shape(QWidget* parent, const ControlDesign& design)
    : QWidget(parent)
    , m_border(design.foreground.resolve(parent->palette()))
    , m_hatch(QColor::fromRgb(design.background.value_or(0xFF0000)))
    , m_penWidth(design.penWidth)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The border lies inside the outline: inset by half the pen.
    const double inset = m_penWidth / 2.0;
    const QRectF outline = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    const double radius = std::min(width(), height()) / 10.0;
    QPainterPath path;
    path.addRoundedRect(outline, radius, radius);

    painter.save();
    painter.setClipPath(path);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(m_hatch, 1));
    for (int y = 4; y < height(); y += 8)
        painter.drawLine(0, y, width(), y);
    painter.restore();

    painter.setPen(QPen(m_border, m_penWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

// ---------------------------------------------------------------------------------------------

Line::Line(QWidget* parent, const ControlDesign& design)
    : QWidget(parent)
    , m_ends(design.rect)
    , m_colour(design.foreground.resolve(parent->palette()))
    , m_penWidth(design.penWidth)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setScale(1.0, 1.0);
}

void Line::setScale(double factorX, double factorY)
{
    m_line = QLine(twipsToPixels(m_ends.left * factorX), twipsToPixels(m_ends.top * factorY),
        twipsToPixels(m_ends.width * factorX), twipsToPixels(m_ends.height * factorY));
    const int margin = m_penWidth;
    setGeometry(QRect(m_line.p1(), m_line.p2()).normalized().adjusted(-margin, -margin, margin, margin));
    update();
}

void Line::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QPen(m_colour, m_penWidth, Qt::SolidLine, Qt::SquareCap));
    painter.drawLine(m_line.translated(-pos()));
}

// ---------------------------------------------------------------------------------------------

void buildControls(QWidget* window, std::span<const ControlDesign> designs)
{
    std::vector<std::pair<int, QWidget*>> focusable;
    for (const ControlDesign& design : designs) {
        QWidget* control = createControl(window, design);
        control->setObjectName(QString::fromUtf8(design.name));
        if (design.kind != ControlKind::Line)
            control->setGeometry(toPixels(design.rect));
        control->raise();
        if (design.tabIndex >= 0 && (design.kind == ControlKind::Button || design.kind == ControlKind::TextBox))
            focusable.emplace_back(design.tabIndex, control);
        else
            control->setFocusPolicy(Qt::NoFocus);
    }
    std::sort(focusable.begin(), focusable.end());
    for (std::size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1].second, focusable[i].second);
}

const ControlDesign* findDesign(std::span<const ControlDesign> designs, const QString& name)
{
    const auto it = std::find_if(designs.begin(), designs.end(),
        [&](const ControlDesign& design) { return QString::fromUtf8(design.name) == name; });
    return it == designs.end() ? nullptr : &*it;
}

} // namespace platform
