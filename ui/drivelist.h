// A drop-down list of the machine's drives: the drive letters on Windows, and
// the mounted, ready, real file systems elsewhere. It starts at the drive of
// the process's current folder.
#pragma once

#include <QComboBox>

class DriveList : public QComboBox
{
    Q_OBJECT

public:
    explicit DriveList(QWidget *parent = nullptr);

    // The chosen drive's root folder, in native form ("C:\" or "/media/usb").
    QString drive() const;
    // Chooses the drive holding the folder; returns false when it is not listed.
    bool setDriveOf(const QString &folder);
    // Reads the list of drives again, keeping the chosen one where it still exists.
    void refresh();

signals:
    // The user chose another drive; choosing the one already shown changes nothing.
    void driveChanged(const QString &drive);

private:
    QString shownRoot_;   // the drive the folders were last told of
};
