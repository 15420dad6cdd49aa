// One line of progress on a terminal, rewritten in place: never wider than the
// terminal, so it never wraps into a second line, with a long file name
// shortened in its middle.
#pragma once

#include <QString>

class StatusLine
{
public:
    // Draws "[number/count] name: text" over the previous status.
    void show(int number, int count, const QString &name, const QString &text);
    // Removes the status, so that the next line starts on a clean line.
    void clear();

    // The text fitted into `columns` columns: the prefix kept, the name
    // shortened in its middle to "...", and the text cut last.
    static QString fitted(const QString &prefix, const QString &name, const QString &text, int columns);
    // The columns a text takes on a terminal: wide East Asian characters take
    // two, combining marks none.
    static int displayWidth(const QString &text);

private:
    int shownWidth_ = 0;
};
