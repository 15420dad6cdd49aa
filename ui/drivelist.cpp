#include "drivelist.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace {

// File systems that hold no user files: kernel interfaces, package images and
// the like.
bool isPseudoFileSystem(const QStorageInfo &volume)
{
    static const QList<QByteArray> pseudoTypes = {
        "autofs", "binfmt_misc", "bpf", "cgroup", "cgroup2", "configfs", "debugfs", "devpts", "devtmpfs",
        "efivarfs", "fusectl", "hugetlbfs", "mqueue", "nsfs", "proc", "pstore", "ramfs", "rpc_pipefs",
        "securityfs", "selinuxfs", "squashfs", "sysfs", "tracefs"};
    if (pseudoTypes.contains(volume.fileSystemType()))
        return true;
    const QString root = volume.rootPath();
    for (const char *system : {"/proc", "/sys", "/dev", "/run"}) {
        const QString prefix = QString::fromLatin1(system);
        if ((root == prefix || root.startsWith(prefix + QLatin1Char('/'))) && !root.startsWith(QStringLiteral("/run/media/")))
            return true;
    }
    return false;
}

QStringList driveRoots()
{
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        // Files bind-mounted into a container show up as volumes too.
        if (volume.isValid() && volume.isReady() && !isPseudoFileSystem(volume) && QFileInfo(volume.rootPath()).isDir())
            roots << volume.rootPath();
    }
    roots.removeDuplicates();
    roots.sort(Qt::CaseInsensitive);
    return roots;
}

QString labelFor(const QString &root)
{
    const QString native = QDir::toNativeSeparators(root);
    const QString name = QStorageInfo(root).name();
    return name.isEmpty() ? native : QStringLiteral("%1 [%2]").arg(native, name);
}

} // namespace

DriveList::DriveList(QWidget *parent) : QComboBox(parent)
{
    refresh();
    setDriveOf(QDir::currentPath());
    connect(this, &QComboBox::activated, this, [this] {
        if (currentData().toString() == shownRoot_)
            return;
        shownRoot_ = currentData().toString();
        emit driveChanged(drive());
    });
}

QString DriveList::drive() const
{
    return QDir::toNativeSeparators(currentData().toString());
}

bool DriveList::setDriveOf(const QString &folder)
{
    const QString root = QStorageInfo(folder).rootPath();
    int index = findData(root);
    if (index < 0 && !root.isEmpty()) {
        addItem(labelFor(root), root);
        index = count() - 1;
    }
    if (index < 0)
        return false;
    setCurrentIndex(index);
    shownRoot_ = root;
    return true;
}

void DriveList::refresh()
{
    const QString chosen = currentData().toString();
    const QSignalBlocker blocker(this);
    clear();
    for (const QString &root : driveRoots())
        addItem(labelFor(root), root);
    if (!chosen.isEmpty())
        setDriveOf(chosen);
}
