#include "statusline.h"

#include "bmp24to8/platform.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

bool InRanges(char32_t c, std::initializer_list<std::pair<char32_t, char32_t>> ranges)
{
    return std::any_of(ranges.begin(), ranges.end(), [c](const auto &range) { return c >= range.first && c <= range.second; });
}

int CodePointWidth(char32_t c)
{
    // Combining marks and invisible format characters take no column.
    if (InRanges(c, {{0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A}, {0x064B, 0x065F},
                     {0x0670, 0x0670}, {0x06D6, 0x06DC}, {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E},
                     {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x20D0, 0x20FF}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F},
                     {0x00AD, 0x00AD}, {0x0600, 0x0605}, {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064},
                     {0xFEFF, 0xFEFF}, {0xE0001, 0xE007F}, {0xE0100, 0xE01EF}}))
        return 0;
    const bool wide = InRanges(c, {{0x1100, 0x115F}, {0x2E80, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF},
                                   {0xFE30, 0xFE4F}, {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6}, {0x1F300, 0x1FAFF},
                                   {0x20000, 0x3FFFD}});
    return wide ? 2 : 1;
}

// One character as the terminal shows it: its bytes and its columns. A byte
// that does not start a valid UTF-8 sequence is a character of its own.
struct Glyph
{
    std::string_view bytes;
    int width;
    char32_t codePoint;   // of a valid UTF-8 sequence
    bool valid;
};

std::vector<Glyph> Glyphs(std::string_view text)
{
    std::vector<Glyph> glyphs;
    for (size_t at = 0; at < text.size();) {
        char32_t c = 0;
        const int length = platform::Utf8Sequence(text.substr(at), c);
        const size_t bytes = length > 0 ? size_t(length) : 1;
        glyphs.push_back({text.substr(at, bytes), length > 0 ? CodePointWidth(c) : 1, c, length > 0});
        at += bytes;
    }
    return glyphs;
}

// The longest start of `text` (from the end when `fromEnd`) that fits in `columns`.
std::string Fit(const std::string &text, int columns, bool fromEnd)
{
    std::vector<Glyph> glyphs = Glyphs(text);
    if (fromEnd)
        std::reverse(glyphs.begin(), glyphs.end());
    int used = 0;
    size_t kept = 0;
    for (; kept < glyphs.size() && used + glyphs[kept].width <= columns; ++kept)
        used += glyphs[kept].width;
    if (kept == 0)
        return {};
    const Glyph &first = fromEnd ? glyphs[kept - 1] : glyphs.front();
    const Glyph &last = fromEnd ? glyphs.front() : glyphs[kept - 1];
    return std::string(first.bytes.data(), size_t(last.bytes.data() + last.bytes.size() - first.bytes.data()));
}

} // namespace

int StatusLine::displayWidth(const std::string &text)
{
    int width = 0;
    for (const Glyph &glyph : Glyphs(text))
        width += glyph.width;
    return width;
}

std::string StatusLine::fitted(const std::string &prefix, const std::string &name, const std::string &text, int columns)
{
    const std::string tail = ": " + text;
    const int room = columns - displayWidth(prefix) - displayWidth(tail);
    const int nameWidth = displayWidth(name);
    if (nameWidth <= room)
        return prefix + name + tail;
    // Keep as much of both ends of the name as fits, with some of each; a
    // name of a few columns is never "shortened" into a longer one.
    static constexpr int kShortestName = 8;
    if (room >= std::min(nameWidth, kShortestName)) {
        const int nameRoom = room - 3;
        return prefix + Fit(name, nameRoom - nameRoom / 2, false) + "..." + Fit(name, nameRoom / 2, true);
    }
    if (displayWidth(prefix + text) <= columns)
        return prefix + text;
    if (displayWidth(text) <= columns)
        return text;
    // The percentage, which ends the text when there is one, says most.
    std::string percentage = text;
    if (text.ends_with(" %")) {
        const size_t beforeNumber = text.find_last_not_of("0123456789", text.size() - 3);
        percentage = text.substr(beforeNumber == std::string::npos ? 0 : beforeNumber + 1);
    }
    return Fit(percentage, columns, false);
}

std::string ForTerminal(const std::string &text)
{
    return ForTerminal(text, platform::TerminalShowsUtf8());
}

std::string ForTerminal(const std::string &text, bool utf8)
{
    std::string shown;
    shown.reserve(text.size());
    for (const Glyph &glyph : Glyphs(text)) {
        const char32_t c = glyph.codePoint;
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
        // Marks and overrides that turn the text's direction would show the
        // rest of the line in another order than it has.
        const bool direction = InRanges(c, {{0x061C, 0x061C}, {0x200E, 0x200F}, {0x202A, 0x202E}, {0x2066, 0x2069}});
        // A terminal of another character set would show UTF-8 as several
        // characters of its own.
        const bool shownAsIs = utf8 || c < 0x80;
        if (glyph.valid && !control && !direction && shownAsIs)
            shown += glyph.bytes;
        else if (glyph.valid && !utf8)
            shown.append(glyph.bytes.size(), '?');   // one a byte, as ls shows them
        else
            shown += '?';
    }
    return shown;
}

void StatusLine::show(int number, int count, const std::string &name, const std::string &text, bool now)
{
    static constexpr std::chrono::milliseconds kPace(100);
    const auto time = std::chrono::steady_clock::now();
    if (!now && time - drawn_ < kPace)
        return;
    drawn_ = time;
    // The last column is left free: writing into it makes some terminals wrap.
    const int columns = platform::StandardErrorColumns();
    const int usable = (columns > 0 ? columns : 80) - 1;
    std::string prefix = "[";
    prefix.append(std::to_string(number)).append("/").append(std::to_string(count)).append("] ");
    const std::string line = fitted(prefix, ForTerminal(name), text, usable);
    if (line == shown_ && shownWidth_ > 0)
        return;   // the same as the terminal shows
    shown_ = line;
    const int width = displayWidth(line);
    // Blanks over whatever is left of a longer previous line.
    const std::string blanks(size_t(std::clamp(std::min(shownWidth_, usable) - width, 0, usable)), ' ');
    std::fprintf(stderr, "\r%s%s", line.c_str(), blanks.c_str());
    if (!blanks.empty())
        std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    shownWidth_ = width;
}

void StatusLine::clear()
{
    if (shownWidth_ == 0)
        return;
    // Two columns more: the terminal may have echoed "^C" after the status.
    const int columns = platform::StandardErrorColumns();
    const int blanks = std::min(shownWidth_ + 2, (columns > 0 ? columns : 80) - 1);
    std::fprintf(stderr, "\r%s\r", std::string(size_t(blanks), ' ').c_str());
    std::fflush(stderr);
    shownWidth_ = 0;
}
