// Resident memory over a long evening of photo changes: every pick decodes a whole file and replaces a frame's
// picture, so anything a load keeps (a decoded image, a reader, a plugin's buffers) adds up load after load.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <array>

#include "../support/fakes.h"
#include "photo_files.h"
#include "platform/fonts.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// VmRSS of this process in kB, or -1.
qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

class TestPhotoMemory : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { platform::installFontSubstitutes(); }
    void fiveHundredPhotosKeepMemoryFlat();
};

void TestPhotoMemory::fiveHundredPhotosKeepMemoryFlat()
{
    constexpr qint64 allowedGrowthKb = 5 * 1024;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QStringList photos = testing::writePhotoFiles(dir);
    QVERIFY(!photos.isEmpty());
    // Each frame loads every file once before memory is taken: the first HEIF picture loads libheif and its codecs.
    const int warmUpLoads = 2 * int(photos.size());
    const int loads = warmUpLoads + 400;

    testing::FakeClock clock;
    testing::FakeDialog dialog;
    const platform::FilePictureLoader loader;
    panel::Form1 form({ clock, dialog, loader, [] {} });
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const std::array frames { form.findChild<platform::PictureFrame*>(QStringLiteral("Image1")),
        form.findChild<platform::PictureFrame*>(QStringLiteral("Image2")) };
    QVERIFY(frames[0] && frames[1]);

    qint64 afterWarmUpKb = -1;
    for (int i = 0; i < loads; ++i) {
        if (i == warmUpLoads)
            afterWarmUpKb = residentKb();
        // Frames take turns, and each frame goes through every format in turn.
        platform::PictureFrame* frame = frames[i % 2];
        dialog.answer = photos[(i / 2) % photos.size()];
        const qint64 shownBefore = frame->picture().cacheKey();
        QTest::mouseClick(frame, Qt::LeftButton);
        frame->repaint();
        // A load that silently failed would keep the memory flat for the wrong reason.
        QVERIFY2(frame->picture().cacheKey() != shownBefore,
            qPrintable(QStringLiteral("load %1 of %2 left %3 as it was")
                           .arg(i + 1)
                           .arg(dialog.answer)
                           .arg(frame->objectName())));
        QCOMPARE(frame->picture().size(), frame->size() * form.devicePixelRatioF());
    }
    const qint64 endKb = residentKb();
    QCOMPARE(dialog.calls, loads);

    qInfo("resident memory after %d loads: %lld kB; after %d loads: %lld kB (%+lld kB)", warmUpLoads, afterWarmUpKb,
        loads, endKb, endKb - afterWarmUpKb);
    QVERIFY(afterWarmUpKb > 0 && endKb > 0);
    if (kAddressSanitizer)
        QSKIP("AddressSanitizer keeps freed memory in quarantine, so resident size is not compared in this build; "
              "its leak check at exit covers the loads instead");
    QVERIFY2(endKb - afterWarmUpKb <= allowedGrowthKb,
        qPrintable(QStringLiteral("grew by %1 kB over %2 loads").arg(endKb - afterWarmUpKb).arg(loads - warmUpLoads)));

    // A camera's progressive JPEG holds about 140 MB of coefficients while it decodes, a large PNG 80 MB of pixels:
    // all of it must be handed back once the frame has its small picture.
    QVERIFY(QProcess::execute(QStringLiteral("bash"),
                { QStringLiteral("-c"),
                    QStringLiteral("cd '%1' && convert -size 6000x4000 gradient:red-blue large.ppm && "
                                   "cjpeg -progressive -sample 1x1 -outfile large.jpg large.ppm && "
                                   "convert -size 5000x4000 gradient:green-yellow large.png")
                        .arg(dir.path()) })
        == 0);
    for (const char* name : { "large.jpg", "large.png" }) {
        const qint64 beforeKb = residentKb();
        dialog.answer = dir.filePath(QLatin1String(name));
        const qint64 shownBefore = frames[0]->picture().cacheKey();
        QTest::mouseClick(frames[0], Qt::LeftButton);
        QVERIFY(frames[0]->picture().cacheKey() != shownBefore);
        QVERIFY2(residentKb() - beforeKb <= allowedGrowthKb,
            qPrintable(QStringLiteral("%1 kept %2 kB").arg(QLatin1String(name)).arg(residentKb() - beforeKb)));
    }
}

QTEST_MAIN(TestPhotoMemory)
#include "test_photo_memory.moc"
