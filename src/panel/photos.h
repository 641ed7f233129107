#pragma once

#include <QImage>
#include <QObject>
#include <QSocketNotifier>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/controls/picture_frame.h"
#include "platform/photo/picture_loader.h"

namespace panel {

// The players' photo frames and the pictures picked or dropped on them. Each frame ends with its newest pick that
// decodes, and never goes back from a newer pick to an older one. Reading a file may block for as long as the file
// system does, so each read has a thread of its own and a read that never returns holds nothing else up; decoding
// costs up to a few hundred megabytes, so one picture decodes at a time, for both frames. Of the picks read, each
// frame's newest decodes first; an older one decodes only if every newer one failed, and goes once a newer one shows.
// The keys, scores and clocks answer all along.
//
// The threads are std::threads and hand back through a mutex, and wake the interface thread through an event fd: no
// hand-off goes through Qt's own synchronisation, which ThreadSanitizer cannot see.
class Photos final : public QObject {
    Q_OBJECT
public:
    Photos(const photo::PictureLoader& loader, std::array<controls::PictureFrame*, 2> frames);
    // Waits for every read and decode under way; the program ends without destroying the panel while one runs.
    ~Photos() override;
    Photos(const Photos&) = delete;
    Photos& operator=(const Photos&) = delete;

    // Reads and decodes `path` for `frame` (one of the two) at its size on a screen of `devicePixelRatio`.
    void load(controls::PictureFrame* frame, const QString& path, qreal devicePixelRatio);
    // The reads and decodes under way; one may be a read that never ends.
    [[nodiscard]] int underWay() const { return int(m_threads.size()); }

private:
    struct Pick {
        QSize size;
        qreal devicePixelRatio;
        std::optional<QByteArray> bytes; // once read
    };
    struct Slot {
        controls::PictureFrame* frame;
        std::uint64_t shown = 0; // the pick in the frame, 0 for the default photo
        std::map<std::uint64_t, Pick> picks; // by the order they were made in, across both frames
    };
    using Job = std::uint64_t;

    // Runs `work` on a thread of its own; what it returns then runs on the interface thread.
    void start(std::function<std::function<void()>()> work);
    void collect();
    void haveRead(Slot& slot, std::uint64_t pick, std::optional<QByteArray> bytes);
    void decodeNext();
    void haveDecoded(Slot& slot, std::uint64_t pick, const QImage& picture);

    const photo::PictureLoader& m_loader;
    std::array<Slot, 2> m_slots;
    std::uint64_t m_picks = 0;
    bool m_decoding = false;

    // Interface thread only.
    std::map<Job, std::thread> m_threads;
    Job m_jobs = 0;
    // From the threads: each finished job and what then runs on the interface thread.
    std::mutex m_doneMutex;
    std::deque<std::pair<Job, std::function<void()>>> m_done;
    int m_wakeUp;
    QSocketNotifier m_woken;
};

} // namespace panel
