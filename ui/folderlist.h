// A folder list: the current folder's ancestors from the root down, then its
// subfolders, indented like a tree. Opening an entry (double-click or Enter)
// makes it the current folder.
#pragma once

#include <QListWidget>

class FolderList : public QListWidget
{
    Q_OBJECT

public:
    explicit FolderList(QWidget *parent = nullptr);

    // The current folder in native form, without a trailing separator except at a root.
    QString path() const;
    // Makes the folder current and emits pathChanged. A folder that does not
    // exist or cannot be read changes nothing and returns false.
    bool setPath(const QString &folder);
    // Lists the current folder's subfolders again.
    void refresh();

signals:
    void pathChanged(const QString &path);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void openItem(QListWidgetItem *item);
    bool list(const QString &folder);

    QString path_;
};
