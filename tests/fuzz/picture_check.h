#pragma once

// How one input is judged, shared by the fuzzer and by the replay of the inputs it found (regressions/).

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QtGlobal>

#include "platform/picture_loader.h"

namespace fuzzing {

// The size of Image1 and Image2 in pixels: the frame every picked photo is loaded for.
inline const QSize photoFrame(144, 137);

// libjpeg's words for damage it painted over instead of failing: the picture shows grey or garbled blocks from
// there on. Stray bytes between segments ("extraneous bytes before marker") lose no picture data; the loader skips
// them on purpose, and notes such as an unknown JFIF revision say nothing about the picture either.
[[nodiscard]] inline bool reportsDamage(const QString& message)
{
    if (message.contains(QLatin1String("extraneous bytes before marker")))
        return false;
    return message.contains(QLatin1String("Corrupt JPEG data"))
        || message.contains(QLatin1String("Premature end of JPEG file"))
        || message.contains(QLatin1String("Inconsistent progression sequence"));
}

namespace detail {
    inline QString* g_firstDamage = nullptr;

    inline void noteDamage(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        if (g_firstDamage && g_firstDamage->isEmpty() && reportsDamage(message))
            *g_firstDamage = message;
    }
} // namespace detail

// Feeds the bytes to the loader as a picked file's contents and says what is wrong with the outcome, or returns
// empty text. Refusing is always acceptable. A picture must exactly fill the frame in device pixels (the panel
// draws it unscaled), and must not be one its decoder reported damage in: that is the half-drawn kind the loader
// promises to refuse. Decoder messages are kept off stderr while decoding.
[[nodiscard]] inline QString decodeFault(const QByteArray& bytes, qreal devicePixelRatio)
{
    QBuffer file;
    file.setData(bytes);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("the input could not be opened as a device");

    QString damage;
    detail::g_firstDamage = &damage;
    const QtMessageHandler previous = qInstallMessageHandler(detail::noteDamage);
    const QImage picture = platform::QtPictureLoader().decode(file, photoFrame, devicePixelRatio);
    qInstallMessageHandler(previous);
    detail::g_firstDamage = nullptr;

    if (picture.isNull())
        return {};
    const QSize expected(qRound(photoFrame.width() * devicePixelRatio), qRound(photoFrame.height() * devicePixelRatio));
    if (picture.size() != expected)
        return QStringLiteral("picture is %1 x %2, the frame needs %3 x %4")
            .arg(picture.width())
            .arg(picture.height())
            .arg(expected.width())
            .arg(expected.height());
    if (picture.devicePixelRatio() != devicePixelRatio)
        return QStringLiteral("picture has a device pixel ratio of %1, the screen %2")
            .arg(picture.devicePixelRatio())
            .arg(devicePixelRatio);
    if (!damage.isEmpty())
        return QStringLiteral("a picture was loaded although its decoder reported damage: ") + damage;
    return {};
}

} // namespace fuzzing
