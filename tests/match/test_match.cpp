// The match without a window: the cycle, the scores, the clock's text and the schedule of its ticks.

#include <QTest>

#include <cstring>

#include "match/match.h"
#include "match/tick_schedule.h"

using match::Match;
using match::Player;

class TestMatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Operations as letters: s = match button, a/d = player 1 up/down, j/l = player 2 up/down, t = one tick.
    void cycle_data()
    {
        QTest::addColumn<QByteArray>("ops");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("result"); // scores and match time
        QTest::newRow("start") << QByteArray("") << "开始比赛"
                               << "0:0  0小时 0分 0秒";
        QTest::newRow("running") << QByteArray("s") << "结束比赛"
                                 << "0:0  0小时 0分 0秒";
        QTest::newRow("ended keeps result") << QByteArray("saajttts") << "重新开始"
                                            << "2:1  0小时 0分 3秒";
        QTest::newRow("three presses reset") << QByteArray("saajttss") << "开始比赛"
                                             << "0:0  0小时 0分 0秒";
        QTest::newRow("second match from zero") << QByteArray("saatssst") << "结束比赛"
                                                << "0:0  0小时 0分 1秒";
        QTest::newRow("nothing counts when ready") << QByteArray("ajt") << "开始比赛"
                                                   << "0:0  0小时 0分 0秒";
        QTest::newRow("nothing counts when ended") << QByteArray("sasajtd") << "重新开始"
                                                   << "1:0  0小时 0分 0秒";
        QTest::newRow("decrement at zero") << QByteArray("sdlddl") << "结束比赛"
                                           << "0:0  0小时 0分 0秒";
        QTest::newRow("down then up") << QByteArray("saadajjl") << "结束比赛"
                                      << "2:1  0小时 0分 0秒";
    }

    void cycle()
    {
        QFETCH(QByteArray, ops);
        Match m;
        for (const char op : ops) {
            switch (op) {
            case 's':
                m.advance();
                break;
            case 't':
                m.tick();
                break;
            default:
                (m.*(std::strchr("aj", op) ? &Match::addPoint : &Match::removePoint))(
                    std::strchr("ad", op) ? Player::One : Player::Two);
            }
        }
        QTEST(QString::fromUtf8(match::stateCaption(m.state())), "caption");
        QTEST(
            QString::fromStdString(m.scoreText(Player::One) + ':' + m.scoreText(Player::Two) + ' ' + m.clock().text()),
            "result");
    }

    // Both scores go on past 16 bits and come back down.
    void scoresPastSixteenBits()
    {
        Match m;
        m.advance();
        for (const Player p : { Player::One, Player::Two }) {
            for (int i = 0; i < 32768; ++i)
                m.addPoint(p);
            QCOMPARE(m.scoreText(p), std::string("32768"));
            m.removePoint(p);
            QCOMPARE(m.scoreText(p), std::string("32767"));
        }
    }

    void clockText_data()
    {
        QTest::addColumn<int>("ticks");
        QTest::addColumn<QString>("text");
        QTest::newRow("first tick") << 1 << " 0小时 0分 1秒";
        QTest::newRow("59") << 59 << " 0小时 0分 59秒";
        QTest::newRow("minute rolls") << 60 << " 0小时 1分 0秒";
        QTest::newRow("3599") << 3599 << " 0小时 59分 59秒";
        QTest::newRow("hour rolls") << 3600 << " 1小时 0分 0秒";
        QTest::newRow("3725") << 3725 << " 1小时 2分 5秒";
        QTest::newRow("16-bit limit") << 32767 << " 9小时 6分 7秒";
        QTest::newRow("past 16 bits") << 40000 << " 11小时 6分 40秒";
    }

    void clockText()
    {
        QFETCH(int, ticks);
        Match m;
        m.advance();
        for (int i = 0; i < ticks; ++i)
            m.tick();
        QTEST(QString::fromStdString(m.clock().text()), "text");
    }

    // Timer events as ms since the start -> the ticks due then; and the wait until the next whole second.
    void schedule_data()
    {
        QTest::addColumn<QList<qint64>>("at");
        QTest::addColumn<QList<qint64>>("due");
        QTest::addColumn<qint64>("nextIn");
        QTest::newRow("on time") << QList<qint64> { 1000, 2000, 3000 } << QList<qint64> { 1, 1, 1 } << 1000LL;
        QTest::newRow("slightly late") << QList<qint64> { 1004, 2010 } << QList<qint64> { 1, 1 } << 990LL;
        QTest::newRow("early fire waits") << QList<qint64> { 999, 1000 } << QList<qint64> { 0, 1 } << 1000LL;
        QTest::newRow("stall of 3.5 s") << QList<qint64> { 1000, 4500, 5000 } << QList<qint64> { 1, 3, 1 } << 1000LL;
        QTest::newRow("a millisecond before the next") << QList<qint64> { 1999 } << QList<qint64> { 1 } << 1LL;
    }

    void schedule()
    {
        QFETCH(QList<qint64>, at);
        QFETCH(QList<qint64>, due);
        match::TickSchedule s;
        for (const qint64 origin : { 123'456'789LL, 987'654'321LL }) { // started again: counts from the new start
            s.start(origin);
            for (qsizetype i = 0; i < at.size(); ++i)
                QCOMPARE(qint64(s.takeDue(origin + at[i])), due[i]);
            QTEST(qint64(s.msUntilNext(origin + at.last())), "nextIn");
        }
    }
};

QTEST_APPLESS_MAIN(TestMatch)
#include "test_match.moc"
