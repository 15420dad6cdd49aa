// What the conversion engine needs from the program that runs it: the window,
// the command line, a test or a benchmark. The engine reads the options only at
// the moments its steps begin, so a host may let the user change them mid-run.
#pragma once

#include <QString>

class ConversionHost
{
public:
    virtual ~ConversionHost() = default;

    // The four-bit check box: 0 unticked, 1 ticked, 2 greyed. Read once per file,
    // after reordering; any value above 0 asks for four-bit output.
    virtual int check1Value() const = 0;
    // "None.": leave the palette in order of first appearance. Read when the
    // reordering step begins.
    virtual bool option1Selected() const = 0;
    // The DOS placement; when neither this nor option 1 is selected, the
    // boot-screen placement applies. Read after the darkest-colour searches.
    virtual bool option2Selected() const = 0;

    // Progress shown to the user: "38 %", "Compatibility", "50 % 4-bit".
    virtual void setProgressText(const QString &text) = 0;
    // One pass of the host's event loop, after every pixel row read or packed and
    // once while reordering. Returns false when the program is ending: the
    // engine then stops at once, writes nothing and reports nothing.
    virtual bool yield() = 0;
    // The user's stop request. It can only change during yield().
    virtual bool abortRequested() const = 0;

    // Adds one entry to the error list.
    virtual void AppendError(const QString &message) = 0;
};
