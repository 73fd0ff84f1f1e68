#include "main/FileChoice.h"

void AskFileName(QWidget *parent, QFileDialog::AcceptMode mode, const QString &proposed,
                 std::function<void(const QString &path)> chosen)
{
    auto *dialog = new QFileDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                        : QFileDialog::AnyFile);
    if (!proposed.isEmpty())
        dialog->selectFile(proposed);
    QObject::connect(dialog, &QFileDialog::fileSelected, parent,
                     [chosen = std::move(chosen)](const QString &path) {
                         if (!path.isEmpty())
                             chosen(path);
                     });
    dialog->open();
}
