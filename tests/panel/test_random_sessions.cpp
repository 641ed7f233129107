// Long random sessions on the real panel and backdrop: keys, clicks, photo picks, drags, time passing,
// minimising and restoring, F4 now and then. After every event the panel must keep what any correct panel keeps:
// scores never negative and equal to the points given minus the points taken back while they could be; captions,
// enabled and locked states those of the match state the match button shows; the match time never ahead of the
// monotonic clock. Timers are delivered by the test, so a seed always replays the same session.

#include <QLineEdit>
#include <QRegularExpression>
#include <QWindow>

#include <deque>
#include <random>

#include "../support/fakes.h"
#include "platform/fonts.h"

using testing::Panel;

namespace {

const QString kReady = QStringLiteral("开始比赛");
const QString kRunning = QStringLiteral("结束比赛");

// Keys with the character they type; the first ones are the panel's own, weighted as an operator uses them.
struct Key {
    int key;
    char text;
    int weight;
};
const Key kKeys[] = { { Qt::Key_A, 'a', 12 }, { Qt::Key_D, 'd', 6 }, { Qt::Key_J, 'j', 12 }, { Qt::Key_L, 'l', 6 },
    { Qt::Key_F5, 0, 8 }, { Qt::Key_Escape, 0, 3 }, { Qt::Key_F11, 0, 5 }, { Qt::Key_F2, 0, 4 }, { Qt::Key_F3, 0, 3 },
    { Qt::Key_A, 'A', 2 }, { Qt::Key_L, 'L', 1 }, { Qt::Key_X, 'x', 2 }, { Qt::Key_7, '7', 1 }, { Qt::Key_F1, 0, 1 },
    { Qt::Key_Return, '\r', 1 }, { Qt::Key_Space, ' ', 3 }, { Qt::Key_Tab, '\t', 2 } };

int secondsShown(const QString& text)
{
    const auto m = QRegularExpression(QStringLiteral("^ (\\d+)小时 (\\d+)分 (\\d+)秒$")).match(text);
    return text.isEmpty() ? 0
        : m.hasMatch()    ? m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toInt()
                          : -1;
}

} // namespace

class TestRandomSessions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { platform::installFontSubstitutes(); }

    void keepsItsInvariants_data()
    {
        QTest::addColumn<quint64>("seed");
        for (const quint64 seed : { 11, 23, 37, 41, 59 })
            QTest::addRow("seed %llu", seed) << seed;
    }

    void keepsItsInvariants()
    {
        QFETCH(quint64, seed);
        std::mt19937_64 random(seed);
        const auto chance = [&](int percent) { return int(random() % 100) < percent; };
        std::vector<int> weights;
        for (const Key& k : kKeys)
            weights.push_back(k.weight);
        std::discrete_distribution<int> pickKey(weights.begin(), weights.end());
        std::unique_ptr<Panel> p;
        qint64 given[2] = { 0, 0 };
        qint64 matchStartMs = 0;
        int scored = -1; // player 0 or 1 given (+) or taken (-) a point: index + 2 * taken
        // A button counts when it is clicked, by the mouse or by Space while it has the focus.
        const auto newPanel = [&] {
            p = std::make_unique<Panel>();
            p->show();
            given[0] = given[1] = 0;
            matchStartMs = p->clock.ms;
            for (int button = 1; button <= 8; button += button == 4 ? 4 : 1)
                connect(p->control<QPushButton>(QStringLiteral("Command%1").arg(button).toLatin1()),
                    &QPushButton::clicked, p->form.get(), [&, button] {
                        if (button <= 4)
                            scored = (button - 1) / 2 + 2 * ((button - 1) % 2);
                        else if (p->text("Command8") == kRunning)
                            matchStartMs = p->clock.ms;
                    });
        };
        newPanel();
        std::deque<QString> history;

        for (int event = 0; event < 5000; ++event) {
            const QString caption = p->text("Command8");
            const bool running = caption == kRunning;
            scored = -1;
            const int kind = event % 2000 == 1999 ? -1 : int(random() % 100);
            QString what;
            if (kind < 0) {
                what = QStringLiteral("F4");
                QTest::keyClick(p->form->windowHandle(), Qt::Key_F4);
            } else if (kind < 55) {
                const Key& k = kKeys[pickKey(random)];
                what = QStringLiteral("key %1").arg(k.text ? QString(QChar(k.text)) : QKeySequence(k.key).toString());
                if (k.key == Qt::Key_F5 && caption != kRunning)
                    matchStartMs = p->clock.ms;
                if (const char* at = k.text ? std::strchr("adjl", k.text) : nullptr)
                    scored = int(at - "adjl") / 2 + 2 * ((at - "adjl") % 2);
                if (k.text)
                    QTest::keyClick(p->form->windowHandle(), k.text);
                else
                    QTest::keyClick(p->form->windowHandle(), Qt::Key(k.key));
            } else if (kind < 75) {
                QWidget* button = p->control(QStringLiteral("Command%1").arg(1 + random() % 9).toLatin1());
                what = button->objectName();
                if (what == QLatin1String("Command5") || button->isHidden())
                    continue;
                QTest::mouseClick(button, Qt::LeftButton);
            } else if (kind < 80) {
                p->dialog.answer = QStringList { "", "/p/good.jpg", "/p/bad.txt" }[int(random() % 3)];
                what = QStringLiteral("photo %1").arg(p->dialog.answer);
                QTest::mouseClick(p->control(chance(50) ? "Image1" : "Image2"), Qt::LeftButton);
            } else if (kind < 85) {
                const QPoint from(10, 250 + int(random() % 100)), by(int(random() % 40) - 20, int(random() % 40) - 20);
                what = QStringLiteral("drag by %1,%2").arg(by.x()).arg(by.y());
                QTest::mousePress(p->form.get(), chance(80) ? Qt::LeftButton : Qt::RightButton, {}, from);
                QMouseEvent move(QEvent::MouseMove, QPointF(from + by), p->form->mapToGlobal(QPointF(from + by)),
                    Qt::NoButton, Qt::LeftButton, {});
                QCoreApplication::sendEvent(p->form.get(), &move);
                QTest::mouseRelease(p->form.get(), Qt::LeftButton, {}, from + by);
            } else if (kind < 98) {
                const qint64 ms = chance(5) ? 3500 : qint64(random() % 1500);
                what = QStringLiteral("%1 ms pass").arg(ms);
                p->wait(ms);
            } else {
                what = QStringLiteral("restored");
                p->form->setWindowState(Qt::WindowNoState);
            }
            // F4, or the close button under the focus, ends the program; a new one starts.
            if (p->quits > 0) {
                QVERIFY(p->quits == 1 && p->form->isHidden()
                    && (!p->form->hasBackdrop() || p->form->backdrop().isHidden()));
                newPanel();
                continue;
            }
            history.push_back(what);
            if (history.size() > 20)
                history.pop_front();

            // What the operator pressed, counted: a point given, or taken back where there was one.
            if (running && scored >= 0) {
                qint64& score = given[scored % 2];
                score += scored < 2 ? 1 : (score > 0 ? -1 : 0);
            }
            if (caption == QStringLiteral("重新开始") && p->text("Command8") == kReady)
                given[0] = given[1] = 0;

            const QString now = p->text("Command8");
            const bool nowRunning = now == kRunning;
            const QString where = QStringLiteral("seed %1, event %2; the last events: %3")
                                      .arg(seed)
                                      .arg(event)
                                      .arg(QStringList(history.begin(), history.end()).join(QStringLiteral(", ")));
            QVERIFY2(p->scores() == QStringLiteral("%1:%2").arg(given[0]).arg(given[1]), qPrintable(where));
            QVERIFY2(QStringList({ kReady, kRunning, QStringLiteral("重新开始") }).contains(now), qPrintable(where));
            for (const char* button : { "Command1", "Command2", "Command3", "Command4" })
                QVERIFY2(p->control(button)->isEnabled() == nowRunning, qPrintable(where));
            QVERIFY2(p->control<QLineEdit>("Text1")->isReadOnly() == (now != kReady), qPrintable(where));
            QVERIFY2(p->form->matchClockTimer().isEnabled() == nowRunning, qPrintable(where));
            const int shown = secondsShown(p->matchTime());
            QVERIFY2(shown >= 0 && shown <= (p->clock.ms - matchStartMs) / 1000, qPrintable(where));
            QVERIFY2(p->form->size() == QSize(657, 512), qPrintable(where));
        }
    }
};

QTEST_MAIN(TestRandomSessions)
#include "test_random_sessions.moc"
