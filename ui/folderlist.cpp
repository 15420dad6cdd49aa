#include "folderlist.h"

#include "nativepath.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

constexpr int kFolderRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kIndentPerLevel = 8;   // pixels

// Draws each entry indented by its depth, so the list reads like a tree.
class IndentDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem indented = option;
        indented.rect.setLeft(option.rect.left() + index.data(kLevelRole).toInt() * kIndentPerLevel);
        QStyledItemDelegate::paint(painter, indented, index);
        // The open folder is always highlighted, so the style's faint focus
        // frame would not tell whether the list has the keyboard: a dotted
        // frame in the highlight's text colour does.
        if (option.state & QStyle::State_HasFocus) {
            const bool selected = option.state & QStyle::State_Selected;
            painter->save();
            painter->setPen(QPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text), 1, Qt::DotLine));
            painter->drawRect(indented.rect.adjusted(1, 1, -2, -2));
            painter->restore();
        }
    }
};

bool isReadableFolder(const QString &folder)
{
    return qtfiles::IsReadableFolder(folder);
}

// The folder above, worked out from the path alone; a root is its own parent.
QString parentOf(const QString &folder)
{
    return QFileInfo(folder).absolutePath();
}

} // namespace

FolderList::FolderList(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setItemDelegate(new IndentDelegate(this));
    connect(this, &QListWidget::itemDoubleClicked, this, &FolderList::openItem);
    list(QDir::currentPath());
}

QString FolderList::path() const
{
    return QDir::toNativeSeparators(path_);
}

bool FolderList::setPath(const QString &folder)
{
    if (!list(folder))
        return false;
    emit pathChanged(path());
    return true;
}

void FolderList::refresh()
{
    // The current folder may have gone; fall back to the nearest existing ancestor.
    QString folder = path_;
    while (!isReadableFolder(folder) && parentOf(folder) != folder && !folder.isEmpty())
        folder = parentOf(folder);
    if (folder == path_)
        list(folder);
    else
        setPath(folder);
}

void FolderList::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        openItem(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

void FolderList::openItem(QListWidgetItem *item)
{
    if (item)
        setPath(item->data(kFolderRole).toString());
}

bool FolderList::list(const QString &folder)
{
    if (!isReadableFolder(folder))
        return false;
    const QString absolute = QDir(folder).absolutePath();
    QStringList subfolders = qtfiles::FolderEntries(absolute, platform::EntryKind::Folders);
    std::sort(subfolders.begin(), subfolders.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });

    // The chain of ancestors, root first.
    QStringList chain;
    for (QString ancestor = absolute;; ancestor = parentOf(ancestor)) {
        chain.prepend(ancestor);
        if (parentOf(ancestor) == ancestor)
            break;
    }

    const QSignalBlocker blocker(this);
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    for (qsizetype level = 0; level < chain.size(); ++level) {
        const QString &ancestor = chain.at(level);
        const QString name = level == 0 ? QDir::toNativeSeparators(ancestor) : QFileInfo(ancestor).fileName();
        auto *item = new QListWidgetItem(open, qtfiles::DisplayName(name), this);
        item->setData(kFolderRole, ancestor);
        item->setData(kLevelRole, int(level));
    }
    for (const QString &name : subfolders) {
        auto *item = new QListWidgetItem(closed, qtfiles::DisplayName(name), this);
        item->setData(kFolderRole, QDir(absolute).filePath(name));
        item->setData(kLevelRole, int(chain.size()));
    }
    setCurrentRow(int(chain.size()) - 1);
    scrollToItem(currentItem());
    path_ = absolute;
    return true;
}
