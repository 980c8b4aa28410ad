#include "Pellmar/views/frame/FileDialogFolderChooser.h"

#include <QApplication>
#include <QFileDialog>

void FileDialogFolderChooser::chooseFolder(std::function<void(const QString& path)> chosen)
{
    auto* dialog = new QFileDialog(QApplication::activeWindow());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setWindowTitle(QStringLiteral("Choose a folder or drive. It is only ever read."));
    dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Add"));
    QObject::connect(dialog, &QFileDialog::accepted, dialog, [dialog, chosen = std::move(chosen)] {
        const QStringList files = dialog->selectedFiles();
        if (!files.isEmpty())
            chosen(files.first());
    });
    dialog->open();
}
