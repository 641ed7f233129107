#include "platform/desktop/file_dialog.h"

#include <QFileDialog>

namespace desktop {

QString QtFileDialog::chooseFile(QWidget* parent) { return QFileDialog::getOpenFileName(parent); }

} // namespace desktop
