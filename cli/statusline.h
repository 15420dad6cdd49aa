// One line of progress on a terminal, rewritten in place: never wider than the
// terminal, so it never wraps into a second line, with a long file name
// shortened in its middle; and at a pace a person can read, about ten times a
// second at most, so that a terminal costs a batch nothing.
#pragma once

#include <chrono>
#include <string>

class StatusLine
{
public:
    // Draws "[number/count] name: text" over the previous status, unless the
    // previous one was drawn less than a tenth of a second ago and it is not
    // to be drawn `now` (before a wait of unknown length).
    void show(int number, int count, const std::string &name, const std::string &text, bool now = false);
    // Removes the status, so that the next line starts on a clean line.
    void clear();

    // The text fitted into `columns` columns: the prefix kept, the name
    // shortened in its middle to "...", never made longer. Where too little
    // room is left for a name, the prefix and the text alone; then the text
    // alone; then its percentage alone.
    static std::string fitted(const std::string &prefix, const std::string &name, const std::string &text, int columns);
    // The columns a text takes on a terminal: wide East Asian characters take
    // two, combining marks none, a byte that is not UTF-8 one.
    static int displayWidth(const std::string &text);

private:
    int shownWidth_ = 0;
    std::string shown_;
    std::chrono::steady_clock::time_point drawn_{};
};

// A text as it may go to a terminal: every control character (C0, DEL, C1),
// every mark or override of the text's direction, and every byte that is not
// UTF-8 shown as "?", as ls shows names, so that a name can neither move the
// cursor, reorder the line, nor send the terminal a command. A terminal whose
// character set is not UTF-8 gets "?" for everything beyond ASCII.
std::string ForTerminal(const std::string &text);
std::string ForTerminal(const std::string &text, bool utf8);
