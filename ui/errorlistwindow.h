// The "Error list" window: one entry per failed file, oldest first, each entry
// the message followed by CR LF CR LF. The user can scroll, select and copy,
// not edit. Closing the window discards it with its text.
#pragma once

#include <QWidget>

class QPlainTextEdit;

class ErrorListWindow : public QWidget
{
    Q_OBJECT

public:
    ErrorListWindow();

    // The stored text, exactly as appended.
    QString text() const { return text_; }
    void append(const QString &message);
    void clear();

    // The window's own size, and that size made smaller to fit where a small
    // screen leaves it room (the text scrolls); never larger than its own.
    static QSize defaultSize();
    void fitTo(const QSize &size);

private:
    QPlainTextEdit *Text1;
    QString text_;
};
