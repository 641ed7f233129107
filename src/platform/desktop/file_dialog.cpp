#include "platform/desktop/file_dialog.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QSettings>
#include <QStandardPaths>

namespace desktop {

QtFileDialog::QtFileDialog()
{
    // Qt's dialog reads its last folder, history and view from QSettings(UserScope, "QtProject") while it is built
    // and writes them back when it is destroyed (QFileDialogPrivate::restoreFromSettings, with the older
    // "Qt/filedialog" key as fallback, and saveSettings; so in Qt 6.4 and 6.8 alike), and no option leaves either out.
    // The paths of QSettings are the one lever: pointed into the compiled-in resources, where no such file is and
    // none can be made, the reads find nothing and the write fails before it touches a disk (no lock file, no folder).
    // The program keeps no settings of its own, so nothing else is lost.
    for (const auto scope : { QSettings::UserScope, QSettings::SystemScope })
        QSettings::setPath(QSettings::defaultFormat(), scope, QStringLiteral(":/no-settings"));
    // The desktop's dialogs (GTK's, the portal's) keep recent files of their own.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

QString QtFileDialog::chooseFile(QWidget* parent)
{
    QString folder = m_lastFolder;
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        if (!QFileInfo(folder).isDir())
            folder = QDir::homePath();
    }
    // No caption: Qt's own title, in the operator's language.
    QFileDialog dialog(parent, QString(), folder);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString file = dialog.selectedFiles().front();
    m_lastFolder = QFileInfo(file).absolutePath();
    return file;
}

} // namespace desktop
