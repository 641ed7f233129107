#include "panel/photos.h"

#include <algorithm>

namespace panel {

Photos::Photos(const photo::PictureLoader& loader, std::array<controls::PictureFrame*, 2> frames)
    : m_loader(loader)
    , m_slots { Slot { frames[0] }, Slot { frames[1] } }
{
    m_workers.setMaxThreadCount(1);
}

Photos::~Photos()
{
    m_workers.clear();
    m_workers.waitForDone();
}

void Photos::load(controls::PictureFrame* frame, const QString& path, qreal devicePixelRatio)
{
    const auto found
        = std::find_if(m_slots.begin(), m_slots.end(), [frame](const Slot& s) { return s.frame == frame; });
    if (found == m_slots.end())
        return;
    Slot& slot = *found;
    const quint64 request = ++slot.latest;
    m_workers.start([this, &slot, request, path, size = frame->size(), devicePixelRatio] {
        // A request overtaken while it waited is not decoded at all.
        if (slot.latest != request)
            return;
        QImage picture = m_loader.load(path, size, devicePixelRatio);
        if (picture.isNull())
            return;
        // Delivered on the user-interface thread; never after the destructor, which waits for this job first.
        QMetaObject::invokeMethod(
            this,
            [&slot, request, picture = std::move(picture)] {
                if (slot.latest == request)
                    slot.frame->setPicture(picture);
            },
            Qt::QueuedConnection);
    });
}

} // namespace panel
