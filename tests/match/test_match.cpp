// The match without a window: the clock's text and the schedule of its ticks. The cycle shows
// through the panel's buttons and keys (test_panel).

#include <QTest>

#include "match/match.h"
#include "match/tick_schedule.h"

using match::Match;

class TestMatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
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
