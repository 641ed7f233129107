#include "panel/photos.h"

#include <algorithm>

#include <sys/eventfd.h>
#include <unistd.h>

namespace panel {

Photos::Photos(const photo::PictureLoader& loader, std::array<controls::PictureFrame*, 2> frames)
    : m_loader(loader)
    , m_slots { Slot { frames[0] }, Slot { frames[1] } }
    , m_wakeUp(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    , m_woken(m_wakeUp, QSocketNotifier::Read)
{
    connect(&m_woken, &QSocketNotifier::activated, this, &Photos::collect);
}

Photos::~Photos()
{
    for (auto& [job, thread] : m_threads)
        thread.join();
    m_woken.setEnabled(false);
    ::close(m_wakeUp);
}

void Photos::load(controls::PictureFrame* frame, const QString& path, qreal devicePixelRatio)
{
    const auto found
        = std::find_if(m_slots.begin(), m_slots.end(), [frame](const Slot& s) { return s.frame == frame; });
    if (found == m_slots.end())
        return;
    Slot& slot = *found;
    const std::uint64_t pick = ++m_picks;
    slot.picks.emplace(pick, Pick { frame->size(), devicePixelRatio, std::nullopt });
    start([this, &slot, pick, path]() -> std::function<void()> {
        std::optional<QByteArray> bytes = m_loader.read(path);
        return [this, &slot, pick, bytes = std::move(bytes)] { haveRead(slot, pick, bytes); };
    });
}

void Photos::start(std::function<std::function<void()>()> work)
{
    const Job job = ++m_jobs;
    m_threads.emplace(job, std::thread([this, job, work = std::move(work)] {
        std::function<void()> then = work();
        {
            const std::lock_guard lock(m_doneMutex);
            m_done.emplace_back(job, std::move(then));
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeUp, &one, sizeof one);
    }));
}

void Photos::collect()
{
    std::uint64_t wakeUps = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_wakeUp, &wakeUps, sizeof wakeUps);
    std::deque<std::pair<Job, std::function<void()>>> done;
    {
        const std::lock_guard lock(m_doneMutex);
        done.swap(m_done);
    }
    for (auto& [job, then] : done) {
        // The thread has handed over its last result and is ending.
        m_threads.extract(job).mapped().join();
        then();
    }
}

void Photos::haveRead(Slot& slot, std::uint64_t pick, std::optional<QByteArray> bytes)
{
    const auto found = slot.picks.find(pick);
    // Gone when a newer pick shows already.
    if (found == slot.picks.end())
        return;
    if (!bytes) {
        slot.picks.erase(found);
        return;
    }
    found->second.bytes = std::move(bytes);
    decodeNext();
}

void Photos::decodeNext()
{
    if (m_decoding)
        return;
    // Each frame's newest pick that has been read; of the two, the one picked first.
    Slot* next = nullptr;
    std::uint64_t nextPick = 0;
    for (Slot& slot : m_slots) {
        const auto newest = std::find_if(
            slot.picks.rbegin(), slot.picks.rend(), [](const auto& pick) { return pick.second.bytes.has_value(); });
        if (newest != slot.picks.rend() && (!next || newest->first < nextPick)) {
            next = &slot;
            nextPick = newest->first;
        }
    }
    if (!next)
        return;
    m_decoding = true;
    start([this, &slot = *next, pick = nextPick, item = next->picks.extract(nextPick).mapped()]() {
        QImage picture = m_loader.decode(*item.bytes, item.size, item.devicePixelRatio);
        return std::function<void()>(
            [this, &slot, pick, picture = std::move(picture)] { haveDecoded(slot, pick, picture); });
    });
}

void Photos::haveDecoded(Slot& slot, std::uint64_t pick, const QImage& picture)
{
    m_decoding = false;
    if (!picture.isNull() && pick > slot.shown) {
        slot.frame->setPicture(picture);
        slot.shown = pick;
        // The frame's older picks can no longer show.
        slot.picks.erase(slot.picks.begin(), slot.picks.lower_bound(pick));
    }
    decodeNext();
}

} // namespace panel
