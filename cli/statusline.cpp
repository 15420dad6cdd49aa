#include "statusline.h"

#include "nativepath.h"
#include "platform.h"

#include <cstdio>

namespace {

int CodePointWidth(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing || category == QChar::Other_Format)
        return 0;
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
        || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
        || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

// The longest start of `text` (from the end when `fromEnd`) that fits in `columns`.
QString Fit(const QString &text, int columns, bool fromEnd)
{
    const QList<uint> points = text.toUcs4();
    int used = 0;
    qsizetype kept = 0;
    for (; kept < points.size(); ++kept) {
        const int width = CodePointWidth(points[fromEnd ? points.size() - 1 - kept : kept]);
        if (used + width > columns)
            break;
        used += width;
    }
    const auto *start = reinterpret_cast<const char32_t *>(points.constData()) + (fromEnd ? points.size() - kept : 0);
    return QString::fromUcs4(start, kept);
}

} // namespace

int StatusLine::displayWidth(const QString &text)
{
    int width = 0;
    for (uint c : text.toUcs4())
        width += CodePointWidth(c);
    return width;
}

QString StatusLine::fitted(const QString &prefix, const QString &name, const QString &text, int columns)
{
    const QString tail = QStringLiteral(": ") + text;
    const int room = columns - displayWidth(prefix) - displayWidth(tail);
    if (displayWidth(name) <= room)
        return prefix + name + tail;
    static const QString ellipsis = QStringLiteral("...");
    // Keep as much of both ends of the name as fits; at least a little of each.
    const int nameRoom = qMax(room, 8) - 3;
    const QString shortened = Fit(name, nameRoom - nameRoom / 2, false) + ellipsis + Fit(name, nameRoom / 2, true);
    return Fit(prefix + shortened + tail, columns, false);
}

void StatusLine::show(int number, int count, const QString &name, const QString &text)
{
    // The last column is left free: writing into it makes some terminals wrap.
    const int columns = platform::StandardErrorColumns();
    const int usable = (columns > 0 ? columns : 80) - 1;
    const QString line = fitted(QStringLiteral("[%1/%2] ").arg(number).arg(count), name, text, usable);
    const int width = displayWidth(line);
    // Blanks over whatever is left of a longer previous line.
    const QByteArray blanks(qBound(0, qMin(shownWidth_, usable) - width, usable), ' ');
    std::fprintf(stderr, "\r%s%s", platform::NativePath(line).constData(), blanks.constData());
    if (!blanks.isEmpty())
        std::fprintf(stderr, "\r%s", platform::NativePath(line).constData());
    std::fflush(stderr);
    shownWidth_ = width;
}

void StatusLine::clear()
{
    if (shownWidth_ == 0)
        return;
    std::fprintf(stderr, "\r%s\r", QByteArray(shownWidth_, ' ').constData());
    std::fflush(stderr);
    shownWidth_ = 0;
}
