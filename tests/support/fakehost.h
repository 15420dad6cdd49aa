// A conversion host for the tests: options set directly, every progress text
// and error line recorded, and a hook that runs inside each yield so a test can
// press Abort or end the program at an exact row.
#pragma once

#include "conversionhost.h"

#include <QStringList>

#include <functional>

class FakeHost : public ConversionHost
{
public:
    int check1 = 0;
    bool option1 = true;
    bool option2 = false;
    bool abort = false;

    QStringList progress;
    QStringList errors;
    int yields = 0;
    // Runs inside the n-th yield (counted from 1); returns what yield() returns.
    std::function<bool(int n)> onYield;

    int check1Value() const override { return check1; }
    bool option1Selected() const override { return option1; }
    bool option2Selected() const override { return option2; }
    void setProgressText(const QString &text) override { progress << text; }
    bool yield() override
    {
        ++yields;
        return onYield ? onYield(yields) : true;
    }
    bool abortRequested() const override { return abort; }
    void AppendError(const QString &message) override { errors << message; }
};
