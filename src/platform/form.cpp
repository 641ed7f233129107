#include "platform/form.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QPalette>
#include <QScreen>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

namespace platform {

Form::Form(const FormDesign& design, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QString::fromUtf8(design.name));
    setWindowTitle(QString::fromUtf8(design.caption));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(design.background));
    setPalette(palette);
    setAutoFillBackground(true);
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

bool isWayland() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

void setKeptAbove(QWidget* window, QWidget* owner)
{
    QWindow* handle = window->windowHandle();
    QWindow* ownerHandle = owner ? owner->windowHandle() : nullptr;
    if (!handle || handle->transientParent() == ownerHandle)
        return;
    handle->setTransientParent(ownerHandle);
    if (isWayland()) {
        // The compositor hears of a window's parent only when the window is shown; showing the
        // panel anew is the only way to put it in front of a backdrop that covers the output.
        if (owner && owner->isVisible() && window->isVisible()) {
            window->hide();
            window->show();
        }
        return;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !x11 || !x11->connection() || !handle->isVisible())
        return;
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());
    if (owner) {
        const auto ownerId = static_cast<xcb_window_t>(owner->winId());
        xcb_change_property(
            connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1, &ownerId);
    } else {
        xcb_delete_property(connection, id, XCB_ATOM_WM_TRANSIENT_FOR);
    }
    xcb_flush(connection);
}

QIcon iconFromPngFiles(const QStringList& paths)
{
    QIcon icon;
    for (const QString& path : paths) {
        // The format named and no sniffing: left to find the format out, Qt loads every image plugin installed,
        // a noticeable part of the start-up.
        QImageReader reader(path, "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace platform
