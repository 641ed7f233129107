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

// Every file is listed (no type filter), starting in the folder of the last pick: Qt's dialog keeps that for a
// dialog given no folder.
class QtFileDialog final : public FileDialog {
public:
    [[nodiscard]] QString chooseFile(QWidget* parent) override;
};

} // namespace desktop
