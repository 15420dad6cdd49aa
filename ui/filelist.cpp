#include "filelist.h"

#include "nativepath.h"

#include <QDir>
#include <QKeyEvent>
#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int kNameRole = Qt::UserRole;   // the name as the file system stores it

} // namespace

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

bool FileList::highlight(const QString &name)
{
    for (int i = 0; i < count(); ++i) {
        if (list(i) == name) {
            item(i)->setSelected(true);
            setCurrentRow(i);
            scrollToItem(item(i));
            return true;
        }
    }
    return false;
}

void FileList::keyPressEvent(QKeyEvent *event)
{
    // Before anything is highlighted, the first arrow key highlights the
    // entry under the focus frame, the first one, instead of moving past it.
    const bool arrow = event->key() == Qt::Key_Down || event->key() == Qt::Key_Up;
    if (arrow && event->modifiers() == Qt::NoModifier && selectedItems().isEmpty() && count() > 0) {
        const int row = currentRow() >= 0 ? currentRow() : 0;
        setCurrentRow(row);
        item(row)->setSelected(true);
        return;
    }
    QListWidget::keyPressEvent(event);
}

int FileList::listIndex() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

QString FileList::list(int index) const
{
    const QListWidgetItem *entry = item(index);
    return entry ? entry->data(kNameRole).toString() : QString();
}

bool FileList::fill(const QString &folder, const QString &keepHighlighted)
{
    if (!qtfiles::IsReadableFolder(folder))
        return false;
    QList<QRegularExpression> masks;
    for (const QString &mask : pattern_.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (!mask.trimmed().isEmpty())
            masks << QRegularExpression(QRegularExpression::wildcardToRegularExpression(mask.trimmed()),
                                        QRegularExpression::CaseInsensitiveOption);
    }
    // Listed by name as the file system stores it, so that a name that is not
    // valid UTF-8 is listed, shown and converted like any other.
    QStringList names;
    for (const QString &name : qtfiles::FolderEntries(folder, platform::EntryKind::Files)) {
        // Matched as shown: a pattern cannot take the bytes that are not UTF-8.
        const QString shown = qtfiles::DisplayName(name);
        const bool matches = masks.isEmpty()   // an empty pattern lists every file
            || std::any_of(masks.cbegin(), masks.cend(), [&](const QRegularExpression &mask) { return mask.match(shown).hasMatch(); });
        if (matches)
            names << name;
    }
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });

    clear();
    for (const QString &name : names) {
        auto *entry = new QListWidgetItem(qtfiles::DisplayName(name), this);
        entry->setData(kNameRole, name);
    }
    if (!keepHighlighted.isEmpty())
        highlight(keepHighlighted);
    path_ = QDir(folder).absolutePath();
    return true;
}
