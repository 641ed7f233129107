#include "platform/file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace platform {

QString QtFileDialog::chooseFile(QWidget* parent)
{
    const QString path = QFileDialog::getOpenFileName(parent, QString(), m_lastFolder);
    if (!path.isEmpty())
        m_lastFolder = QFileInfo(path).absolutePath();
    return path;
}

} // namespace platform
