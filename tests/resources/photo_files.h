#pragma once

// Real photo files of every variant the loader accepts, written into a temporary folder, for tests that pick them
// through the panel with the real loader. Each is larger than the frame, so each load decodes more than it keeps.

#include <QStringList>
#include <QTemporaryDir>

#include "../platform/photo_corpus.h"

namespace testing {

// The full paths; empty if any file could not be made.
[[nodiscard]] inline QStringList writePhotoFiles(const QTemporaryDir& dir)
{
    QString error;
    QStringList paths;
    for (const corpus::File& file : corpus::write(QDir(dir.path()), QSize(800, 600), &error))
        paths << file.path;
    return paths;
}

} // namespace testing
