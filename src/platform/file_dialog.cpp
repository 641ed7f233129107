#include "platform/file_dialog.h"

#include <QFileDialog>

namespace platform {

QString QtFileDialog::chooseFile(QWidget* parent) { return QFileDialog::getOpenFileName(parent); }

} // namespace platform
