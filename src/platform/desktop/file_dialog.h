#pragma once

#include <QString>

class QWidget;

namespace desktop {

// The open-file dialog the operator picks photos with. Tests hand in one that answers at once.
class FileDialog {
public:
    virtual ~FileDialog() = default;
    // Blocks in a modal dialog over `parent`; the full path, or empty text when cancelled.
    [[nodiscard]] virtual QString chooseFile(QWidget* parent) = 0;
};

// Qt's own dialog, every file listed (no type filter). It opens in the folder of this run's last pick, before the
// first in the user's Pictures folder (home when there is none), and keeps nothing between runs.
class QtFileDialog final : public FileDialog {
public:
    QtFileDialog();
    [[nodiscard]] QString chooseFile(QWidget* parent) override;

private:
    QString m_lastFolder; // empty before the first pick
};

} // namespace desktop
