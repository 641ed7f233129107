// One evening's match from start to close with the real picture loader, step by step as the operator does it.
// Every step checks what the operator sees; in the sanitizer build the process exit also checks that nothing
// the session created (backdrop, timers, photos, decoders) is left behind.

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "../support/fakes.h"
#include "photo_files.h"
#include "platform/fonts.h"

class TestSession : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { platform::installFontSubstitutes(); }
    void fullSessionFromStartToClose();
};

void TestSession::fullSessionFromStartToClose()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QStringList photos = testing::writePhotoFiles(dir);
    QVERIFY(!photos.isEmpty());

    testing::FakeClock clock;
    testing::FakeDialog dialog;
    const platform::FilePictureLoader loader;
    int quits = 0;
    auto form = std::make_unique<panel::Form1>(panel::Services { clock, dialog, loader, [&quits] { ++quits; } });
    const auto control = [&form](const char* name) { return form->findChild<QWidget*>(QString::fromLatin1(name)); };
    const auto button = [&form](const char* name) { return form->findChild<QPushButton*>(QString::fromLatin1(name)); };
    const auto frame
        = [&form](const char* name) { return form->findChild<platform::PictureFrame*>(QString::fromLatin1(name)); };
    const auto score
        = [&form](const char* name) { return form->findChild<platform::Label*>(QString::fromLatin1(name))->text(); };
    const auto matchTime
        = [&form] { return form->backdrop().findChild<platform::Label*>(QStringLiteral("Label_time"))->text(); };
    const auto second = [&form, &clock] {
        clock.advance(1000);
        if (form->timer1().isEnabled())
            form->Timer1_Timer();
        form->Timer2_Timer();
    };

    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));

    // Names and photos before the match.
    auto* name1 = qobject_cast<QLineEdit*>(control("Text1"));
    QVERIFY(name1);
    name1->selectAll();
    QTest::keyClicks(name1, QStringLiteral("Ansel"));
    QCOMPARE(name1->text(), QStringLiteral("Ansel"));
    for (int i = 0; i < photos.size(); ++i) {
        platform::PictureFrame* target = frame(i % 2 == 0 ? "Image1" : "Image2");
        const qint64 shownBefore = target->picture().cacheKey();
        dialog.answer = photos[i];
        QTest::mouseClick(target, Qt::LeftButton);
        QVERIFY2(target->picture().cacheKey() != shownBefore, qPrintable(photos[i]));
    }
    dialog.answer.clear(); // the operator cancels the dialog once
    const qint64 kept = frame("Image1")->picture().cacheKey();
    QTest::mouseClick(frame("Image1"), Qt::LeftButton);
    QCOMPARE(frame("Image1")->picture().cacheKey(), kept);

    // Start, a minute of play and some points, one taken back.
    QTest::mouseClick(button("Command8"), Qt::LeftButton);
    QVERIFY(name1->isReadOnly());
    for (int s = 0; s < 65; ++s)
        second();
    QCOMPARE(matchTime(), QStringLiteral(" 0小时 1分 5秒"));
    for (const char* point : { "Command1", "Command1", "Command3", "Command1", "Command2" })
        QTest::mouseClick(button(point), Qt::LeftButton);
    QCOMPARE(score("Label1"), QStringLiteral("2"));
    QCOMPARE(score("Label2"), QStringLiteral("1"));

    // Full screen, minimised and restored while in full screen, then full screen off.
    QTest::mouseClick(button("Command6"), Qt::LeftButton);
    QVERIFY(form->isFullScreen());
    QVERIFY(form->backdrop().isVisible());
    QTest::mouseClick(button("Command7"), Qt::LeftButton);
    QVERIFY(form->isMinimized());
    QVERIFY(!form->backdrop().isVisible());
    form->setWindowState(Qt::WindowNoState);
    QVERIFY(form->backdrop().isVisible());
    QTest::mouseClick(button("Command6"), Qt::LeftButton);
    QVERIFY(!form->isFullScreen());
    QVERIFY(!form->backdrop().isVisible());

    // A photo changed mid-match, then the match ended and reset.
    dialog.answer = photos.front();
    const qint64 shownBefore = frame("Image2")->picture().cacheKey();
    QTest::mouseClick(frame("Image2"), Qt::LeftButton);
    QVERIFY(frame("Image2")->picture().cacheKey() != shownBefore);
    QTest::mouseClick(button("Command8"), Qt::LeftButton);
    QVERIFY(!button("Command1")->isEnabled());
    second();
    QCOMPARE(matchTime(), QStringLiteral(" 0小时 1分 5秒"));
    QTest::mouseClick(button("Command8"), Qt::LeftButton);
    QCOMPARE(score("Label1"), QStringLiteral("0"));
    QCOMPARE(score("Label2"), QStringLiteral("0"));
    QVERIFY(matchTime().isEmpty());
    QVERIFY(!name1->isReadOnly());

    // Close, then the program tears the windows down.
    QTest::mouseClick(button("Command5"), Qt::LeftButton);
    QCOMPARE(quits, 1);
    QVERIFY(!form->isVisible());
    QVERIFY(!form->backdrop().isVisible());
    QCOMPARE(dialog.calls, int(photos.size()) + 2);
    form.reset();
}

QTEST_MAIN(TestSession)
#include "test_session.moc"
