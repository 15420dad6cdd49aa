#include "fade.h"

#include "displayflush.h"

#include <QGuiApplication>
#include <QWidget>

#include <cmath>

namespace {

// The longest leading part of the text that forms a decimal number: an
// optional sign, digits, and one point with more digits.
float leadingNumber(const QString &text)
{
    qsizetype end = 0;
    if (end < text.size() && (text[end] == QLatin1Char('-') || text[end] == QLatin1Char('+')))
        ++end;
    while (end < text.size() && text[end].isDigit())
        ++end;
    if (end < text.size() && text[end] == QLatin1Char('.')) {
        ++end;
        while (end < text.size() && text[end].isDigit())
            ++end;
    }
    bool ok = false;
    const float value = QStringView(text).left(end).toFloat(&ok);
    return ok ? value : 0.0f;
}

} // namespace

float WindowsVersion(quint32 versionValue)
{
    const auto v = qint32(versionValue);
    // C++ division truncates toward zero and the remainder takes the sign of v.
    const qint32 major = v % 256;
    const qint32 rest = v / 256;
    return leadingNumber(QString::number(major) + QLatin1Char('.') + QString::number(rest));
}

quint32 CurrentVersionValue()
{
    const QString name = QGuiApplication::platformName();
    return name == QLatin1String("xcb") ? 5 : 4;
}

void ApplyWindowOpacity(QWidget *window, int alpha)
{
    window->setWindowOpacity(alpha / 255.0);
    // Each step must reach the screen at its tick, not at the next input.
    FlushDisplay();
}

void MakeTrans::Load()
{
    if (lastAlpha == 0)
        lastAlpha = 255;
}

void MakeTrans::MakeWindowTransparent(QWidget *hWnd, std::optional<double> alphaAmount)
{
    const double wanted = alphaAmount.value_or(lastAlpha);
    const auto alpha = quint8(qBound(0.0, std::nearbyint(wanted), 255.0));   // halves to even
    layer_(hWnd, alpha);
    lastAlpha = alpha;
}
