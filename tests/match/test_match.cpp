#include <QTest>

#include "match/match.h"
#include "match/tick_schedule.h"

using match::Match;
using match::MatchState;
using match::Player;

namespace {

// Operations as letters, so a row reads like what the operator pressed:
// s = match button, a/d = player 1 up/down, j/l = player 2 up/down, t = one clock tick.
void play(Match& m, const char* ops)
{
    for (const char* op = ops; *op; ++op) {
        switch (*op) {
        case 's':
            m.advance();
            break;
        case 'a':
            m.addPoint(Player::One);
            break;
        case 'd':
            m.removePoint(Player::One);
            break;
        case 'j':
            m.addPoint(Player::Two);
            break;
        case 'l':
            m.removePoint(Player::Two);
            break;
        case 't':
            m.tick();
            break;
        default:
            QFAIL("unknown operation");
        }
    }
}

} // namespace

class TestMatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cycle_data()
    {
        QTest::addColumn<QByteArray>("ops");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<qint64>("score1");
        QTest::addColumn<qint64>("score2");
        QTest::addColumn<qint64>("elapsed");

        QTest::newRow("start") << QByteArray("") << 0 << "开始比赛" << 0LL << 0LL << 0LL;
        QTest::newRow("running") << QByteArray("s") << 1 << "结束比赛" << 0LL << 0LL << 0LL;
        QTest::newRow("ended keeps result") << QByteArray("saajttts") << 2 << "重新开始" << 2LL << 1LL << 3LL;
        QTest::newRow("three presses reset") << QByteArray("saajttss") << 0 << "开始比赛" << 0LL << 0LL << 0LL;
        QTest::newRow("second match from zero") << QByteArray("saatssst") << 1 << "结束比赛" << 0LL << 0LL << 1LL;
        QTest::newRow("points ignored when ready") << QByteArray("ajt") << 0 << "开始比赛" << 0LL << 0LL << 0LL;
        QTest::newRow("points ignored when ended") << QByteArray("sasajtd") << 2 << "重新开始" << 1LL << 0LL << 0LL;
        QTest::newRow("decrement at zero") << QByteArray("sdlddl") << 1 << "结束比赛" << 0LL << 0LL << 0LL;
        QTest::newRow("down then up") << QByteArray("saadajjl") << 1 << "结束比赛" << 2LL << 1LL << 0LL;
    }

    void cycle()
    {
        QFETCH(QByteArray, ops);
        Match m;
        play(m, ops.constData());
        QFETCH(int, state);
        QFETCH(QString, caption);
        QFETCH(qint64, score1);
        QFETCH(qint64, score2);
        QFETCH(qint64, elapsed);
        QCOMPARE(static_cast<int>(m.state()), state);
        QCOMPARE(QString::fromUtf8(match::stateCaption(m.state())), caption);
        QCOMPARE(m.score(Player::One), score1);
        QCOMPARE(m.score(Player::Two), score2);
        QCOMPARE(m.clock().elapsedSeconds(), elapsed);
    }

    void scoresPastSixteenBits_data()
    {
        QTest::addColumn<int>("player");
        QTest::newRow("player 1") << 1;
        QTest::newRow("player 2") << 2;
    }

    void scoresPastSixteenBits()
    {
        QFETCH(int, player);
        const Player p = player == 1 ? Player::One : Player::Two;
        Match m;
        m.advance();
        for (int i = 0; i < 32767; ++i)
            m.addPoint(p);
        QCOMPARE(m.score(p), 32767);
        QCOMPARE(m.scoreText(p), std::string("32767"));
        m.addPoint(p);
        QCOMPARE(m.scoreText(p), std::string("32768"));
        m.removePoint(p);
        m.removePoint(p);
        QCOMPARE(m.scoreText(p), std::string("32766"));
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
        QFETCH(QString, text);
        Match m;
        m.advance();
        for (int i = 0; i < ticks; ++i)
            m.tick();
        QCOMPARE(QString::fromStdString(m.clock().text()), text);
        QCOMPARE(m.clock().elapsedSeconds(), ticks);
    }

    void numberText_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0LL << " 0";
        QTest::newRow("positive") << 42LL << " 42";
        QTest::newRow("negative") << -3LL << "-3";
    }

    void numberText()
    {
        QFETCH(qint64, value);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(match::numberText(value)), text);
    }

    // Timer events as (ms since start) -> ticks the match clock must apply at that moment.
    void schedule_data()
    {
        QTest::addColumn<QList<qint64>>("at");
        QTest::addColumn<QList<qint64>>("due");
        QTest::addColumn<qint64>("nextIn");
        QTest::newRow("on time") << QList<qint64> { 1000, 2000, 3000 } << QList<qint64> { 1, 1, 1 } << 1000LL;
        QTest::newRow("slightly late") << QList<qint64> { 1004, 2010 } << QList<qint64> { 1, 1 } << 990LL;
        QTest::newRow("early fire waits") << QList<qint64> { 999, 1000 } << QList<qint64> { 0, 1 } << 1000LL;
        QTest::newRow("stall of 3.5 s") << QList<qint64> { 1000, 4500 } << QList<qint64> { 1, 3 } << 500LL;
        QTest::newRow("stall then on time")
            << QList<qint64> { 1000, 4500, 5000 } << QList<qint64> { 1, 3, 1 } << 1000LL;
    }

    void schedule()
    {
        QFETCH(QList<qint64>, at);
        QFETCH(QList<qint64>, due);
        QFETCH(qint64, nextIn);
        const qint64 origin = 123'456'789; // a monotonic clock need not start at 0
        match::TickSchedule s;
        s.start(origin);
        for (qsizetype i = 0; i < at.size(); ++i)
            QCOMPARE(s.takeDue(origin + at[i]), due[i]);
        QCOMPARE(s.msUntilNext(origin + at.last()), nextIn);
    }

    void scheduleRestart()
    {
        match::TickSchedule s;
        s.start(0);
        QCOMPARE(s.takeDue(5000), 5);
        s.start(10'000);
        QCOMPARE(s.takeDue(10'999), 0);
        QCOMPARE(s.takeDue(11'000), 1);
    }
};

QTEST_APPLESS_MAIN(TestMatch)
#include "test_match.moc"
