#include "filelist.h"

#include <QDir>
#include <QFileInfo>

FileList::FileList(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    fill(QDir::currentPath(), {});
}

void FileList::setPattern(const QString &pattern)
{
    pattern_ = pattern;
    fill(path_, {});
}

QString FileList::path() const
{
    return QDir::toNativeSeparators(path_);
}

bool FileList::setPath(const QString &folder)
{
    return fill(folder, {});
}

void FileList::refresh()
{
    const int index = listIndex();
    fill(path_, index >= 0 ? list(index) : QString());
}

int FileList::listIndex() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

QString FileList::list(int index) const
{
    const QListWidgetItem *entry = item(index);
    return entry ? entry->text() : QString();
}

bool FileList::fill(const QString &folder, const QString &keepHighlighted)
{
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return false;
    QStringList masks;
    for (const QString &mask : pattern_.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (!mask.trimmed().isEmpty())
            masks << mask.trimmed();
    }
    QDir dir(folder);
    dir.setNameFilters(masks);   // an empty pattern lists every file
    dir.setFilter(QDir::Files);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    const QStringList names = dir.entryList();

    clear();
    addItems(names);
    path_ = dir.absolutePath();
    if (!keepHighlighted.isEmpty()) {
        const QList<QListWidgetItem *> same = findItems(keepHighlighted, Qt::MatchExactly);
        if (!same.isEmpty()) {
            same.first()->setSelected(true);
            setCurrentItem(same.first());
        }
    }
    return true;
}
