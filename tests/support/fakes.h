#pragma once

// Stand-ins for time, the file dialog and the picture loader, so tests drive the panel without waiting and
// without opening real dialogs; and a panel wired to them, built fresh for each test.

#include <QMutex>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>

#include <memory>

#include "panel/control_panel.h"

namespace testing {

struct FakeClock final : desktop::Clock {
    [[nodiscard]] qint64 monotonicMs() const override { return ms; }
    [[nodiscard]] QDateTime localNow() const override { return local; }
    qint64 ms = 5'000'000; // a monotonic clock need not start at 0
    QDateTime local { QDate(2026, 12, 6), QTime(19, 30, 5) };
};

struct FakeDialog final : desktop::FileDialog {
    [[nodiscard]] QString chooseFile(QWidget*) override { return calls++, answer; }
    QString answer;
    int calls = 0;
};

// A blue picture of the frame's size (red for a "red" file), or nothing for a "bad" file. It runs on the panel's
// decoding thread; a "slow" file waits there until the test lets it through.
struct FakeLoader final : photo::PictureLoader {
    [[nodiscard]] QImage load(const QString& path, QSize frameSize, qreal dpr) const override
    {
        {
            const QMutexLocker lock(&mutex);
            paths << path;
        }
        if (path.contains(QLatin1String("slow")))
            gate.acquire();
        QImage image(frameSize * dpr, QImage::Format_RGB32);
        image.fill(path.contains(QLatin1String("red")) ? Qt::red : Qt::blue);
        image.setDevicePixelRatio(dpr);
        return path.contains(QLatin1String("bad")) ? QImage() : image;
    }
    [[nodiscard]] QStringList loaded() const
    {
        const QMutexLocker lock(&mutex);
        return paths;
    }
    mutable QMutex mutex;
    mutable QStringList paths;
    mutable QSemaphore gate;
};

struct Panel {
    FakeClock clock;
    FakeDialog dialog;
    FakeLoader loader;
    int quits = 0;
    QPoint shownAt;
    std::unique_ptr<panel::ControlPanel> form { std::make_unique<panel::ControlPanel>(
        panel::Services { clock, dialog, loader, [this] { ++quits; } }) };

    template <typename T = QWidget> [[nodiscard]] T* control(const char* name) const
    {
        return form->findChild<T*>(QString::fromUtf8(name));
    }
    [[nodiscard]] QString text(const char* name) const
    {
        auto* label = control<controls::Label>(name);
        return label ? label->text() : control<QPushButton>(name)->text();
    }
    [[nodiscard]] QString scores() const { return text("Label1") + ':' + text("Label2"); }
    [[nodiscard]] QString matchTime() const
    {
        return form->hasBackdrop() ? form->backdrop().findChild<controls::Label*>("Label_time")->text() : QString();
    }
    // Shown and active, so keys reach the panel's window as they do on screen.
    void show()
    {
        form->show();
        shownAt = form->pos();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    // Every photo decoded and in its frame.
    void settle()
    {
        QTRY_VERIFY(!form->isDecodingPhoto());
        QCoreApplication::processEvents();
    }
    // `ms` of match and wall-clock time, delivered as the timers would.
    void wait(qint64 ms)
    {
        clock.ms += ms;
        clock.local = clock.local.addMSecs(ms);
        if (form->matchClockTimer().isActive())
            form->advanceMatchClock();
        form->showWallClock();
    }
};

} // namespace testing
