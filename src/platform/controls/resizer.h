#pragma once

#include <QObject>
#include <QPointer>
#include <QSizeF>

#include <span>
#include <vector>

#include "platform/controls/control_design.h"

namespace controls {

// Keeps a window's controls in proportion to its size: left edges and widths follow the width
// against the design width, top edges and heights the height against the design height. Fonts
// follow the smaller of the two factors, so text never outgrows its label.
class ProportionalResizer final : public QObject {
    Q_OBJECT
public:
    ProportionalResizer(
        QWidget* window, int designWidthTwips, int designHeightTwips, std::span<const ControlDesign> designs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();

    QWidget* m_window;
    QSizeF m_designPixels;
    std::span<const ControlDesign> m_designs;
    QSizeF m_factors { 1.0, 1.0 };
};

} // namespace controls
