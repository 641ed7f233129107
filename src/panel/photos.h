#pragma once

#include <QObject>
#include <QThreadPool>

#include <array>
#include <atomic>

#include "platform/controls/picture_frame.h"
#include "platform/photo/picture_loader.h"

namespace panel {

// The players' photo frames and the pictures picked or dropped on them. A file is decoded on a worker thread, so
// keys, scores and both clocks answer while it decodes; the frame takes the picture once it is ready, unless a later
// pick or drop for the same frame came meanwhile. A file that is no picture leaves the frame as it was.
class Photos final : public QObject {
    Q_OBJECT
public:
    Photos(const photo::PictureLoader& loader, std::array<controls::PictureFrame*, 2> frames);
    // Drops the decodes not yet begun and waits for the one under way.
    ~Photos() override;

    // Decodes `path` for `frame` (one of the two) at its size on a screen of `devicePixelRatio`.
    void load(controls::PictureFrame* frame, const QString& path, qreal devicePixelRatio);
    [[nodiscard]] bool isDecoding() const { return m_workers.activeThreadCount() > 0; }

private:
    struct Slot {
        controls::PictureFrame* frame;
        std::atomic<quint64> latest { 0 }; // the number of the frame's newest request
    };

    const photo::PictureLoader& m_loader;
    std::array<Slot, 2> m_slots;
    // One decode at a time: two large pictures at once would double the memory a load may take.
    QThreadPool m_workers;
};

} // namespace panel
