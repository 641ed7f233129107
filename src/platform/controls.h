#pragma once

// The controls a window is built from, and the design table that describes them.
// A window lists its controls as `ControlDesign` rows (kind, twip geometry, text, font, colours,
// tab index, start state); `buildControls` creates them in table order, which is back to front,
// and sets the tab order. Handlers then find controls by their design names.

#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QWidget>

#include <optional>
#include <span>

#include "platform/twips.h"

class QLineEdit;
class QPushButton;

namespace platform {

enum class ControlKind { Button, TextBox, Label, PictureFrame, Shape, Line };

// A colour is either fixed RGB or a role the system palette resolves.
struct Colour {
    std::optional<QRgb> rgb;
    QPalette::ColorRole role = QPalette::ButtonText;
    [[nodiscard]] QColor resolve(const QPalette& palette) const;
};
[[nodiscard]] constexpr Colour rgb(QRgb value) { return Colour { value, QPalette::NoRole }; }
[[nodiscard]] constexpr Colour systemColour(QPalette::ColorRole role) { return Colour { std::nullopt, role }; }

enum class TextAlign { Left, Centre };
// How a label treats text that would not fit its box.
enum class Fit { Clip, Shrink };

struct ControlDesign {
    const char* name = "";
    ControlKind kind = ControlKind::Label;
    TwipRect rect; // a line's end points X1, Y1, X2, Y2
    const char* text = "";
    double fontPoints = 9;
    std::optional<QRgb> background; // none: transparent, or the system colour for buttons
    Colour foreground = systemColour(QPalette::ButtonText);
    TextAlign align = TextAlign::Left;
    Fit fit = Fit::Clip;
    int tabIndex = -1; // -1: takes no focus
    bool enabled = true;
    const char* toolTip = "";
    int penWidth = 0; // lines and shape borders, in pixels
};

// A label drawn with the line metrics of the design face: one line is one em high with the
// ideographic em box as its line box, so captions keep their design extent whichever CJK
// face stands in. With Fit::Shrink the font gets just small enough for the text to fit.
class Label final : public QWidget {
    Q_OBJECT
public:
    Label(QWidget* parent, const ControlDesign& design);

    void setText(const QString& text);
    [[nodiscard]] QString text() const { return m_text; }
    // The pixel size the text is drawn at now: the design size unless shrunk to fit.
    [[nodiscard]] int drawnPixelSize() const;
    // Percent of the normal glyph width: text may be narrowed a little before it is shrunk.
    [[nodiscard]] int drawnStretch() const { return m_stretch; }
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
    int m_stretch = QFont::Unstretched;
    std::optional<QColor> m_background;
    QColor m_foreground;
    TextAlign m_align;
    Fit m_fit;
};

// A photo frame: shows its picture stretched to its size and reports clicks and dropped files.
class PictureFrame final : public QWidget {
    Q_OBJECT
public:
    explicit PictureFrame(QWidget* parent);
    void setPicture(const QImage& picture);
    [[nodiscard]] const QImage& picture() const { return m_picture; }

Q_SIGNALS:
    void clicked();
    void fileDropped(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QImage m_picture;
    bool m_pressed = false;
};

// A rounded rectangle with its border inside the outline and a horizontal-line hatch. It lets the
// mouse through to the window, as a drawn shape does.
class Shape final : public QWidget {
    Q_OBJECT
public:
    Shape(QWidget* parent, const ControlDesign& design);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_border;
    QColor m_hatch;
    int m_penWidth;
};

// A straight line between two design points; it covers only the box around them and lets the
// mouse through.
class Line final : public QWidget {
    Q_OBJECT
public:
    Line(QWidget* parent, const ControlDesign& design);
    void setScale(double factorX, double factorY);
    [[nodiscard]] QLine pixelLine() const { return m_line; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TwipRect m_ends;
    QColor m_colour;
    int m_penWidth;
    QLine m_line; // in the parent's pixels
};

// Creates the rows in order (first row at the back) and sets the tab order by tab index.
void buildControls(QWidget* window, std::span<const ControlDesign> designs);

[[nodiscard]] const ControlDesign* findDesign(std::span<const ControlDesign> designs, const QString& name);

} // namespace platform
