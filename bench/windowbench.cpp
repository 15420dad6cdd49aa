// Converts one file through the main window, as "Process a single file" does,
// on the offscreen platform: the window's cost next to the command line's.
//
//   windowbench SOURCE DESTINATION_FOLDER
#include "filelist.h"
#include "folderlist.h"
#include "form1.h"

#include <QApplication>
#include <QFileInfo>
#include <QPushButton>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QFileInfo source(QString::fromLocal8Bit(argv[1]));
    WindowServices services;
    services.beep = [] {};
    Form1 form(services);
    auto *files = form.findChild<FileList *>(QStringLiteral("File1"));
    if (!form.findChild<FolderList *>(QStringLiteral("Dir1"))->setPath(source.absolutePath())
        || !form.findChild<FolderList *>(QStringLiteral("Dir2"))->setPath(QString::fromLocal8Bit(argv[2])))
        return 1;
    const QList<QListWidgetItem *> items = files->findItems(source.fileName(), Qt::MatchExactly);
    if (items.isEmpty())
        return 1;
    files->setCurrentItem(items.first());
    form.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    return form.errorList() && !form.errorList()->text().isEmpty() ? 1 : 0;
}
