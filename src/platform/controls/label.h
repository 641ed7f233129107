#pragma once

#include <QColor>
#include <QWidget>

#include <optional>

#include "platform/controls/control_design.h"

namespace controls {

// A label drawn with the line metrics of the design face: one line is one em high with the
// ideographic em box as its line box, so captions keep their design extent whichever CJK
// face stands in. With Fit::Shrink the font gets just small enough for the text to fit.
class Label final : public QWidget {
    Q_OBJECT
public:
    Label(QWidget* parent, const ControlDesign& design);

    // Drawn in `direction`: left to right for the design's texts, the locale's for one in the locale's form.
    void setText(const QString& text, Qt::LayoutDirection direction = Qt::LeftToRight);
    [[nodiscard]] QString text() const { return m_text; }
    // The pixel size the text is drawn at now: the design size unless shrunk to fit.
    [[nodiscard]] int drawnPixelSize() const;
    // Scales the design font, for proportional resizing.
    void setFontScale(double factor);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // A label is a control: pressing it does not reach the window behind (no window drag).
    void mousePressEvent(QMouseEvent* event) override;

private:
    void updateFit();

    QString m_text;
    int m_designPixels;
    double m_fontScale = 1.0;
    int m_drawnPixels;
    static constexpr int kMinStretch = 85; // percent
    std::optional<QColor> m_background;
    QColor m_foreground;
    TextAlign m_align;
    Fit m_fit;
    int m_fittedPixels;
    int m_fittedStretch;
};

} // namespace controls
