// The floor for bench/run: the least that any Qt Widgets program with the scoreboard's two windows pays for Qt,
// X11 and the font, so that the scoreboard's figures have something to be measured against. Two frameless
// top-level windows: the first holds a 160 px label in the Song-style CJK face the scoreboard uses, the second a
// label that a one-second timer updates. It answers the keys bench/run sends: F11 shows the second window full
// screen, "a" counts the big label up, F4 quits.
//
// It carries the scoreboard's timing hooks (timing_trace.h), so both programs are measured the same way.

#include <QApplication>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTime>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "timing_trace.h"

namespace {

class Keys final : public QObject {
public:
    Keys(QWidget* panel, QWidget* backdrop, QLabel* count)
        : m_panel(panel)
        , m_backdrop(backdrop)
        , m_count(count)
    {
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F4) {
            QCoreApplication::quit();
        } else if (key->key() == Qt::Key_F11) {
            m_backdrop->setGeometry(m_panel->screen()->geometry());
            m_backdrop->showFullScreen();
            // The panel stays in front of the backdrop, as the scoreboard's does.
            m_panel->raise();
            m_panel->activateWindow();
        } else if (key->text() == QLatin1String("a")) {
            m_count->setNum(++m_value);
        }
        return false;
    }

private:
    QWidget* m_panel;
    QWidget* m_backdrop;
    QLabel* m_count;
    int m_value = 0;
};

QWidget* makeWindow(const QString& title, QSize size, QColor background)
{
    auto* window = new QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window->setWindowTitle(title);
    window->resize(size);
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, background);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    return window;
}

} // namespace

int main(int argc, char* argv[])
{
    const bench::TimingTrace::Clock::time_point started = bench::TimingTrace::Clock::now();
    QApplication app(argc, argv);
    QFont::insertSubstitutions(QStringLiteral("宋体"), { QStringLiteral("Noto Serif CJK SC") });

    // The scoreboard's panel size and score square, so both draw the same number of pixels.
    QWidget* panel = makeWindow(QStringLiteral("Floor"), { 657, 512 }, QColor(0x00, 0x80, 0x00));
    auto* count = new QLabel(QStringLiteral("0"), panel);
    count->setGeometry(56, 232, 161, 161);
    count->setAlignment(Qt::AlignCenter);
    count->setAutoFillBackground(true);
    QPalette countPalette = count->palette();
    countPalette.setColor(QPalette::Window, QColor(0xFF, 0xFF, 0x80));
    count->setPalette(countPalette);
    QFont face(QStringLiteral("宋体"));
    face.setPixelSize(160);
    count->setFont(face);

    QWidget* backdrop = makeWindow(QStringLiteral("FloorBackdrop"), { 800, 600 }, QColor(0x00, 0x80, 0x00));
    auto* clock = new QLabel(backdrop);
    clock->setGeometry(26, 160, 101, 45);
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, clock,
        [clock] { clock->setText(QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))); });
    ticks.start(1000);

    const QRect screen = panel->screen()->geometry();
    panel->move(screen.center() - QPoint(panel->width() / 2, panel->height() / 2));
    panel->show();
    Keys keys(panel, backdrop, count);
    panel->windowHandle()->installEventFilter(&keys);
    bench::TimingTrace trace(started, panel, count);

    const int code = app.exec();
    delete backdrop;
    delete panel;
    return code;
}
