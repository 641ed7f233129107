#pragma once

#include <QColor>
#include <QWidget>

#include "platform/controls/twips.h"

namespace controls {

struct FormDesign {
    const char* name;
    const char* caption;
    int clientWidth; // twips
    int clientHeight;
    QRgb background;
};

class Form : public QWidget {
    Q_OBJECT
public:
    explicit Form(const FormDesign& design, QWidget* parent = nullptr);

    // Makes the window visible if needed and brings it in front, asking for the focus.
    void showInFront();
    // Places the window in the middle of the screen it is on (or the primary screen).
    void centreOnScreen();
};

} // namespace controls
