// A conversion host for the tests: options set directly, every progress text
// and error line recorded, and a hook that runs inside each yield so a test can
// press Abort or end the program at an exact row.
#pragma once

#include "qtconvert.h"

#include <QStringList>

#include <functional>

class FakeHost : public QtConversionHost
{
public:
    bool fourBit = false;
    bmp24to8::PalettePlacement placement = bmp24to8::PalettePlacement::None;
    bool abort = false;

    QStringList progress;
    QStringList errors;
    int yields = 0;
    // Runs inside the n-th yield (counted from 1); returns what yield() returns.
    std::function<bool(int n)> onYield;

    bool fourBitWanted() const override { return fourBit; }
    bmp24to8::PalettePlacement palettePlacement() const override { return placement; }
    void setProgressText(const QString &text) override { progress << text; }
    bool yield() override
    {
        ++yields;
        return onYield ? onYield(yields) : true;
    }
    bool abortRequested() const override { return abort; }
    void AppendError(const QString &message) override { errors << message; }
};
