#include "platform/controls/build_controls.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>
#include <vector>

#include "platform/controls/label.h"
#include "platform/controls/line.h"
#include "platform/controls/picture_frame.h"
#include "platform/controls/shape.h"
#include "platform/desktop/fonts.h"

namespace controls {

namespace {

    // Qt's push button, its caption laid out in the button's own direction: Qt 6 gives every painter the
    // application's direction, and the style draws the caption with it.
    class Button final : public QPushButton {
    public:
        using QPushButton::QPushButton;

    protected:
        void paintEvent(QPaintEvent*) override
        {
            QStylePainter painter(this);
            painter.setLayoutDirection(layoutDirection());
            QStyleOptionButton option;
            initStyleOption(&option);
            painter.drawControl(QStyle::CE_PushButton, option);
        }
    };

    void applyTextColours(QWidget* widget, const ControlDesign& design)
    {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Text, design.foreground.resolve(palette));
        if (design.background)
            palette.setColor(QPalette::Base, QColor::fromRgb(*design.background));
        widget->setPalette(palette);
    }

    QWidget* createControl(QWidget* window, const ControlDesign& design)
    {
        switch (design.kind) {
        case ControlKind::Button: {
            auto* button = new Button(QString::fromUtf8(design.text), window);
            button->setFont(desktop::designFont(design.fontPoints));
            button->setEnabled(design.enabled);
            return button;
        }
        case ControlKind::TextBox: {
            // The font goes in before the text: laid out in the default face, a CJK name would first
            // make Qt search every installed font for a fallback.
            auto* box = new QLineEdit(window);
            box->setFont(desktop::designFont(design.fontPoints));
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

void buildControls(QWidget* window, std::span<const ControlDesign> designs)
{
    std::vector<std::pair<int, QWidget*>> focusable;
    for (const ControlDesign& design : designs) {
        QWidget* control = createControl(window, design);
        control->setObjectName(QString::fromUtf8(design.name));
        if (design.kind != ControlKind::Line)
            control->setGeometry(toPixels(design.rect));
        if (design.tabIndex >= 0)
            focusable.emplace_back(design.tabIndex, control);
        else
            control->setFocusPolicy(Qt::NoFocus);
    }
    std::sort(focusable.begin(), focusable.end());
    for (std::size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1].second, focusable[i].second);
}

} // namespace controls
