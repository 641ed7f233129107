#include "platform/desktop/window_system.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QImageReader>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <QtGui/qguiapplication_platform.h>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>

#include <xcb/xcb.h>

namespace desktop {

namespace {

    // Runs `action` once `target` has handled an event of `type` (for a window's expose, one that exposes it), unless
    // `context` goes first.
    class EventWatch final : public QObject {
    public:
        EventWatch(QObject* target, QEvent::Type type, QObject* context, std::function<void()> action)
            : QObject(context)
            , m_target(target)
            , m_type(type)
            , m_action(std::move(action))
        {
            target->installEventFilter(this);
        }

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            const auto* window = qobject_cast<QWindow*>(m_target);
            if (watched == m_target && event->type() == m_type && (!window || window->isExposed())) {
                m_target->removeEventFilter(this);
                // After the event has been handled, and only once.
                QMetaObject::invokeMethod(
                    parent(), [action = m_action] { action(); }, Qt::QueuedConnection);
                deleteLater();
            }
            return false;
        }

    private:
        QObject* m_target;
        QEvent::Type m_type;
        std::function<void()> m_action;
    };

    void whenExposed(QWindow* target, QObject* context, std::function<void()> action)
    {
        if (target->isExposed())
            action();
        else
            new EventWatch(target, QEvent::Expose, context, std::move(action));
    }

    // Closes `window` when its X11 window is destroyed from outside (xdotool windowclose does that rather than ask):
    // Qt takes no notice, and the program would run on without that window.
    class DestroyWatch final : public QObject, public QAbstractNativeEventFilter {
    public:
        explicit DestroyWatch(QWidget* window)
            : QObject(window)
            , m_window(window)
        {
            QCoreApplication::instance()->installNativeEventFilter(this);
        }
        ~DestroyWatch() override
        {
            if (QCoreApplication* app = QCoreApplication::instance())
                app->removeNativeEventFilter(this);
        }

        bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
        {
            if (type != "xcb_generic_event_t")
                return false;
            const auto* event = static_cast<const xcb_generic_event_t*>(message);
            if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY
                && reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == m_window->internalWinId())
                QMetaObject::invokeMethod(m_window, &QWidget::close, Qt::QueuedConnection);
            return false;
        }

    private:
        QWidget* m_window;
    };

    // Wayland lets no client place its windows; the compositor does.
    bool isWayland() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

    // From a minimise on Wayland to the window's return: its next activation after it has lost activation.
    class MinimiseWatch final : public QObject {
    public:
        MinimiseWatch(QWindow* window, QWidget* owner, std::function<void()> broughtBack)
            : QObject(owner)
            , m_broughtBack(std::move(broughtBack))
        {
            setObjectName(name());
            m_activationLost = !window->isActive();
            connect(window, &QWindow::activeChanged, this, [this, window] {
                if (!window->isActive()) {
                    m_activationLost = true;
                } else if (m_activationLost) {
                    deleteLater();
                    setParent(nullptr); // no longer minimised from here on
                    m_broughtBack();
                }
            });
        }

        // Found by name: a class without a meta-object of its own cannot be told from any other object.
        static QString name() { return QStringLiteral("minimise watch"); }

    private:
        std::function<void()> m_broughtBack;
        bool m_activationLost;
    };

} // namespace

void closeWhenDestroyedOutside(QWidget* window)
{
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        new DestroyWatch(window);
}

void showCovering(QWidget* window, QScreen* screen)
{
    if (isWayland()) {
        if (screen && window->windowHandle())
            window->windowHandle()->setScreen(screen);
        window->showMaximized();
    } else {
        if (screen)
            window->setGeometry(screen->geometry());
        window->showFullScreen();
    }
    window->activateWindow();
}

void minimise(QWidget* window, std::function<void()> broughtBack)
{
    QWindow* handle = window->windowHandle();
    if (isWayland() && handle) {
        delete window->findChild<QObject*>(MinimiseWatch::name(), Qt::FindDirectChildrenOnly);
        new MinimiseWatch(handle, window, std::move(broughtBack));
    }
    window->setWindowState(window->windowState() | Qt::WindowMinimized);
}

bool isMinimised(const QWidget* window)
{
    return (window->windowState() & Qt::WindowMinimized) != 0
        || window->findChild<QObject*>(MinimiseWatch::name(), Qt::FindDirectChildrenOnly) != nullptr;
}

bool startCompositorMove(QWidget* window)
{
    QWindow* handle = window->windowHandle();
    return isWayland() && handle && handle->startSystemMove();
}

void setKeptAbove(QWidget* window, QWidget* owner)
{
    QWindow* handle = window->windowHandle();
    QWindow* ownerHandle = owner ? owner->windowHandle() : nullptr;
    if (!handle || handle->transientParent() == ownerHandle)
        return;
    handle->setTransientParent(ownerHandle);
    if (isWayland()) {
        // The compositor hears of a window's parent only when the window is shown, and heeds it only
        // once the parent is on the output: so the window is shown anew after the owner is exposed.
        if (owner && owner->isVisible() && window->isVisible())
            whenExposed(ownerHandle, window, [window] {
                window->hide();
                window->show();
            });
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

void afterNextFrame(QWidget* window, std::function<void()> action)
{
    new EventWatch(window, QEvent::Paint, window, std::move(action));
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

int endProgram(int status, bool workStillRunning)
{
    if (workStillRunning || isWayland()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

} // namespace desktop
