#include "platform/controls/form.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

namespace controls {

Form::Form(const FormDesign& design, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QString::fromUtf8(design.name));
    // The design's captions are exact texts, laid out left to right in every locale. Qt's Arabic and Hebrew
    // translations turn the application right to left, which would move their neutral characters ("+(A)" would show
    // as "(A)+"); the window's controls take this direction instead (the labels and buttons draw their text in it).
    // Qt's own dialogs, windows of their own, keep the locale's direction.
    setLayoutDirection(Qt::LeftToRight);
    setWindowTitle(QString::fromUtf8(design.caption));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(design.background));
    setPalette(palette);
    resize(twipsToPixels(design.clientWidth), twipsToPixels(design.clientHeight));
}

void Form::showInFront()
{
    // A minimised window stays where the operator put it; only its return brings it back.
    if (isMinimized())
        return;
    if (!isVisible())
        show();
    raise();
    activateWindow();
}

void Form::centreOnScreen()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

} // namespace controls
