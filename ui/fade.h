// Fading the main window in when the program starts.
//
// A timer raises the window's opacity from 0 to 255 over 63 ticks along a
// raised cosine, where the system can make windows translucent; elsewhere the
// window is simply shown at the first tick. Whether it can is decided from a
// system version value, as on Windows: a major version of 5 or more.
#pragma once

#include <QtGlobal>

#include <functional>
#include <optional>

class QWidget;

// The version value's major and minor parts read back as one number, exactly
// as the classic arithmetic gives it: 5.1 build 2600 gives 5.665601, a value
// with the top bit set gives a negative number.
float WindowsVersion(quint32 versionValue);

// A version value of major version 5 when the windowing system can set a
// window's opacity (X11), and of 4 when it cannot (offscreen, Wayland). (The
// window is built for Unix-like systems only.)
quint32 CurrentVersionValue();

// Applies an opacity from 0 (invisible) to 255 (opaque) to a window.
using OpacityLayer = std::function<void(QWidget *window, int alpha)>;
void ApplyWindowOpacity(QWidget *window, int alpha);

// Holds the last opacity applied and applies new ones.
class MakeTrans
{
public:
    explicit MakeTrans(OpacityLayer layer = ApplyWindowOpacity) : layer_(std::move(layer)) {}

    // Run once when the object is made: the remembered opacity starts opaque.
    void Load();
    // Applies alphaAmount rounded to a whole number (halves to even), or the
    // remembered opacity when none is given, and remembers it.
    void MakeWindowTransparent(QWidget *hWnd, std::optional<double> alphaAmount = std::nullopt);

    quint8 lastAlpha = 0;

private:
    OpacityLayer layer_;
};
