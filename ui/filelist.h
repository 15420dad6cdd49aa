// A file list: the plain files of one folder whose names match a pattern,
// sorted without regard to case. The pattern may hold several masks separated
// by ";" ("*.bmp;*.dib"), matched without regard to case.
#pragma once

#include <QListWidget>

class FileList : public QListWidget
{
    Q_OBJECT

public:
    explicit FileList(QWidget *parent = nullptr);

    QString pattern() const { return pattern_; }
    void setPattern(const QString &pattern);
    QString path() const;
    // Lists another folder; one that cannot be read keeps the previous list.
    bool setPath(const QString &folder);
    // Reads the folder again, keeping the highlighted name where it still exists.
    void refresh();
    // Highlights the entry of that name; false when the list has none.
    bool highlight(const QString &name);

    // The highlighted entry, or -1 when none is.
    int listIndex() const;
    int listCount() const { return count(); }
    // The bare file name at a position; empty outside the list.
    QString list(int index) const;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool fill(const QString &folder, const QString &keepHighlighted);

    QString pattern_ = QStringLiteral("*.*");
    QString path_;
};
