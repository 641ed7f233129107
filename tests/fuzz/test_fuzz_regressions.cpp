// Every input the fuzzer ever failed on, kept in regressions/, replayed in the ordinary test suite with the
// same judgement the fuzzer applies, so a fault it found stays fixed in every build.

#include "picture_check.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestFuzzRegressions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keptInputsStayHandled_data();
    void keptInputsStayHandled();
};

void TestFuzzRegressions::keptInputsStayHandled_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<qreal>("dpr");

    const QDir kept(QStringLiteral(SCOREBOARD_FUZZ_REGRESSIONS));
    const QStringList names = kept.entryList(QDir::Files, QDir::Name);
    // An empty list would pass without replaying anything, as a wrong folder would.
    QVERIFY2(!names.isEmpty(), qPrintable(kept.path() + QStringLiteral(" holds no inputs")));
    for (const QString& name : names) {
        for (const qreal dpr : { 1.0, 2.0 })
            QTest::addRow("%s at %gx", qPrintable(name), dpr) << kept.filePath(name) << dpr;
    }
}

void TestFuzzRegressions::keptInputsStayHandled()
{
    QFETCH(QString, path);
    QFETCH(qreal, dpr);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString fault = fuzzing::decodeFault(file.readAll(), dpr);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "test_fuzz_regressions.moc"
