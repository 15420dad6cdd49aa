#include "fatalstop.h"

#include <QMessageBox>

#include <cstdlib>

void ShowFatalStop(const QByteArray &offending, const QString &message)
{
    // Each byte shown as the character of the same code.
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(offending), message, QMessageBox::Ok);
    box.exec();
    std::exit(3);
}
