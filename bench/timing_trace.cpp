#include "timing_trace.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMetaEnum>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace bench {

namespace {
    bool envFlag(const char* name)
    {
        const char* value = std::getenv(name);
        return value && value[0] == '1';
    }

    // CPU time of all threads since exec, loading the libraries included: unlike the wall clock, it hardly
    // changes when other programs keep the machine busy.
    double processCpuMs() { return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC; }

    double msSince(TimingTrace::Clock::time_point from)
    {
        return std::chrono::duration<double, std::milli>(TimingTrace::Clock::now() - from).count();
    }
    class EventTrace final : public QObject {
    public:
        using QObject::QObject;

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            static const QSet<QEvent::Type> traced { QEvent::KeyPress, QEvent::KeyRelease, QEvent::FocusIn,
                QEvent::FocusOut, QEvent::Show, QEvent::Hide, QEvent::Close, QEvent::PlatformSurface };
            const auto* window = qobject_cast<QWindow*>(watched);
            if (!window || !traced.contains(event->type()))
                return false;
            const auto* key = dynamic_cast<const QKeyEvent*>(event);
            std::fprintf(stderr, "event %lld %s \"%s\" %s\n",
                qint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::system_clock::now().time_since_epoch())
                           .count()),
                QMetaEnum::fromType<QEvent::Type>().valueToKey(event->type()), qPrintable(window->title()),
                key ? qPrintable(QKeySequence(key->key()).toString()) : "");
            return false;
        }
    };
} // namespace

TimingTrace::TimingTrace(Clock::time_point started, QWidget* window, QWidget* label, Photos photos)
    : m_started(started)
    , m_window(window)
    , m_label(label)
{
    const QString photo = qEnvironmentVariable("SCOREBOARD_DECODE_LOOP");
    if (!photo.isEmpty() && photos.decoding && photos.decode) {
        auto* again = new QTimer(this);
        connect(again, &QTimer::timeout, this, [photo, photos = std::move(photos)] {
            if (!photos.decoding())
                photos.decode(photo);
        });
        again->start(20);
    }
    if (envFlag("SCOREBOARD_EVENT_TRACE"))
        QCoreApplication::instance()->installEventFilter(new EventTrace(this));
    if (envFlag("SCOREBOARD_STARTUP_TRACE"))
        window->installEventFilter(this);
    if (envFlag("SCOREBOARD_KEY_TRACE") && label && window->windowHandle()) {
        // Installed after the panel's own key filter, so it runs first and sees the press as it arrives.
        window->windowHandle()->installEventFilter(this);
        label->installEventFilter(this);
    }
}

bool TimingTrace::eventFilter(QObject* watched, QEvent* event)
{
    // A stamp taken at a paint event is printed from a queued call, which runs once the whole frame has been
    // painted and flushed: both figures end where the screen has the pixels.
    if (watched == m_window && event->type() == QEvent::Paint) {
        m_window->removeEventFilter(this);
        QMetaObject::invokeMethod(
            this,
            [this] {
                std::fprintf(stderr, "first-paint-ms %.2f cpu-ms %.2f\n", msSince(m_started), processCpuMs());
                // For bench/startup-profile: the process ends at the first frame, so a profile of it under valgrind
                // counts the start-up alone. _Exit runs no destructors and no atexit handler (valgrind still writes
                // its output); stderr is unbuffered, so the line is out.
                if (envFlag("SCOREBOARD_STARTUP_EXIT"))
                    std::_Exit(0);
            },
            Qt::QueuedConnection);
    } else if (watched == m_window->windowHandle() && event->type() == QEvent::KeyPress) {
        m_keyArrived = Clock::now();
    } else if (watched == m_label && event->type() == QEvent::Paint && m_keyArrived) {
        const Clock::time_point arrived = *m_keyArrived;
        m_keyArrived.reset();
        QMetaObject::invokeMethod(
            this, [arrived] { std::fprintf(stderr, "key-ms %.3f\n", msSince(arrived)); }, Qt::QueuedConnection);
    }
    return false;
}

} // namespace bench
