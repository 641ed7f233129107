#pragma once

// Stand-ins for time, the file dialog and the picture loader, so tests drive the panel without
// waiting and without opening real dialogs.

#include <QDateTime>
#include <QImage>
#include <QStringList>
#include <QTest>
#include <QWindow>

#include <functional>
#include <memory>

#include "panel/form1.h"
#include "platform/clock.h"
#include "platform/file_dialog.h"
#include "platform/picture_loader.h"

namespace testing {

class FakeClock final : public platform::Clock {
public:
    [[nodiscard]] qint64 monotonicMs() const override { return m_ms; }
    [[nodiscard]] QDateTime localNow() const override { return m_local; }
    void advance(qint64 ms)
    {
        m_ms += ms;
        m_local = m_local.addMSecs(ms);
    }
    void setLocal(const QDateTime& when) { m_local = when; }

private:
    qint64 m_ms = 5'000'000; // a monotonic clock need not start at 0
    QDateTime m_local { QDate(2026, 12, 6), QTime(19, 30, 5) };
};

class FakeDialog final : public platform::FileDialog {
public:
    [[nodiscard]] QString chooseFile(QWidget*) override
    {
        ++calls;
        return answer;
    }
    QString answer;
    int calls = 0;
};

// Answers with a picture of the frame's size in one colour, or with nothing for a "bad" file.
class FakeLoader final : public platform::PictureLoader {
public:
    [[nodiscard]] QImage load(const QString& path, QSize frameSize, qreal dpr) const override
    {
        paths << path;
        if (path.contains(QLatin1String("bad")))
            return {};
        QImage image((frameSize * dpr), QImage::Format_RGB32);
        image.fill(colour);
        image.setDevicePixelRatio(dpr);
        return image;
    }
    QRgb colour = 0x0000FF;
    mutable QStringList paths;
};

// A panel wired to fakes, built fresh for each test.
struct Panel {
    FakeClock clock;
    FakeDialog dialog;
    FakeLoader loader;
    int quits = 0;
    std::unique_ptr<panel::Form1> form { std::make_unique<panel::Form1>(
        panel::Services { clock, dialog, loader, [this] { ++quits; } }) };

    template <typename T = QWidget> [[nodiscard]] T* control(const char* name) const
    {
        return form->findChild<T*>(QString::fromUtf8(name));
    }
    // One second of match and wall-clock time, delivered as the timers would.
    void second()
    {
        clock.advance(1000);
        if (form->timer1().isEnabled())
            form->Timer1_Timer();
        form->Timer2_Timer();
    }
};

// A panel shown and active, so keys reach its window as they do on screen.
struct ShownPanel {
    Panel p;
    ShownPanel()
    {
        p.form->show();
        p.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(p.form.get()));
    }
    [[nodiscard]] QWindow* window() const { return p.form->windowHandle(); }
};

} // namespace testing
