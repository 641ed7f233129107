#pragma once

// A window's controls as data: one `ControlDesign` row each (kind, twip geometry, text, font, colours, tab index,
// start state), read by `buildControls` (controls.h) and by `ProportionalResizer`.

#include <QPalette>

#include <optional>

#include "platform/controls/twips.h"

namespace controls {

enum class ControlKind { Button, TextBox, Label, PictureFrame, Shape, Line };

// A colour is either fixed RGB or a role the system palette resolves.
struct Colour {
    std::optional<QRgb> rgb;
    QPalette::ColorRole role = QPalette::ButtonText;
    [[nodiscard]] QColor resolve(const QPalette& palette) const
    {
        return rgb ? QColor::fromRgb(*rgb) : palette.color(QPalette::Active, role);
    }
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
    // A caption that never changes may come with its fit worked out (pixel size, stretch in percent), which spares
    // the font engines the fit would try at start.
    int fittedPixels = 0;
    int fittedStretch = 100;
    int tabIndex = -1; // -1: takes no focus; only buttons and name boxes can take it
    bool enabled = true;
    const char* toolTip = "";
    int penWidth = 0; // lines and shape borders, in pixels
};

} // namespace controls
