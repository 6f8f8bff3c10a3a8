#include "Code39Reader.h"

#include <algorithm>
#include <array>
#include <optional>

namespace {
// Each character: bar, space, bar, space, bar, space, bar, space, bar; 'w' for wide.
struct Character
{
    char c;
    const char* pattern;
};
constexpr Character kCharacters[] = {
    {'0', "nnnwwnwnn"}, {'1', "wnnwnnnnw"}, {'2', "nnwwnnnnw"}, {'3', "wnwwnnnnn"},
    {'4', "nnnwwnnnw"}, {'5', "wnnwwnnnn"}, {'6', "nnwwwnnnn"}, {'7', "nnnwnnwnw"},
    {'8', "wnnwnnwnn"}, {'9', "nnwwnnwnn"}, {'A', "wnnnnwnnw"}, {'B', "nnwnnwnnw"},
    {'C', "wnwnnwnnn"}, {'D', "nnnnwwnnw"}, {'E', "wnnnwwnnn"}, {'F', "nnwnwwnnn"},
    {'G', "nnnnnwwnw"}, {'H', "wnnnnwwnn"}, {'I', "nnwnnwwnn"}, {'J', "nnnnwwwnn"},
    {'K', "wnnnnnnww"}, {'L', "nnwnnnnww"}, {'M', "wnwnnnnwn"}, {'N', "nnnnwnnww"},
    {'O', "wnnnwnnwn"}, {'P', "nnwnwnnwn"}, {'Q', "nnnnnnwww"}, {'R', "wnnnnnwwn"},
    {'S', "nnwnnnwwn"}, {'T', "nnnnwnwwn"}, {'U', "wwnnnnnnw"}, {'V', "nwwnnnnnw"},
    {'W', "wwwnnnnnn"}, {'X', "nwnnwnnnw"}, {'Y', "wwnnwnnnn"}, {'Z', "nwwnwnnnn"},
    {'-', "nwnnnnwnw"}, {'.', "wwnnnnwnn"}, {' ', "nwwnnnwnn"}, {'*', "nwnnwnwnn"},
    {'$', "nwnwnwnnn"}, {'/', "nwnwnnnwn"}, {'+', "nwnnnwnwn"}, {'%', "nnnwnwnwn"},
};

// The character whose nine elements start at run at, and the width from which an element
// counts as wide; nullopt when the nine runs are no character.
std::optional<std::pair<char, double>> character(const QList<int>& runs, qsizetype at)
{
    if (at + 9 > runs.size())
        return std::nullopt;
    std::array<int, 9> sorted;
    std::copy(runs.begin() + at, runs.begin() + at + 9, sorted.begin());
    std::sort(sorted.begin(), sorted.end());
    // Three wide elements, clearly wider than the six narrow ones.
    if (sorted[6] * 2 < sorted[5] * 3)
        return std::nullopt;
    const double wide = (sorted[5] + sorted[6]) / 2.0;
    char pattern[10] = {};
    for (int i = 0; i < 9; ++i)
        pattern[i] = runs[at + i] > wide ? 'w' : 'n';
    for (const Character& c : kCharacters)
        if (qstrcmp(c.pattern, pattern) == 0)
            return std::pair{c.c, wide};
    return std::nullopt;
}

// The symbol whose start character begins at the dark run start: its text and the run
// after its stop character, or nullopt.
std::optional<std::pair<QString, qsizetype>> symbol(const QList<int>& runs, qsizetype start)
{
    const auto first = character(runs, start);
    if (!first || first->first != '*')
        return std::nullopt;
    QString text;
    for (qsizetype at = start + 10;; at += 10) {
        // The gap between two characters is narrow.
        if (at - 1 >= runs.size() || runs[at - 1] > first->second)
            return std::nullopt;
        const auto c = character(runs, at);
        if (!c)
            return std::nullopt;
        if (c->first == '*') {
            if (text.isEmpty())
                return std::nullopt;
            return std::pair{text, at + 9};
        }
        text += QLatin1Char(c->first);
    }
}
} // namespace

QStringList code39Texts(const QImage& image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    QStringList found;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* line = grey.constScanLine(y);
        // The widths of the runs of one colour along the row; the first run is light when
        // firstDark is false.
        QList<int> runs;
        const bool firstDark = grey.width() > 0 && line[0] < 128;
        bool dark = firstDark;
        int width = 0;
        for (int x = 0; x < grey.width(); ++x) {
            if ((line[x] < 128) != dark) {
                runs << width;
                width = 0;
                dark = !dark;
            }
            ++width;
        }
        runs << width;
        for (qsizetype i = firstDark ? 0 : 1; i < runs.size(); i += 2) {
            if (const auto s = symbol(runs, i)) {
                if (!found.contains(s->first))
                    found << s->first;
                i = s->second - 1; // the next dark run after the stop character
            }
        }
    }
    return found;
}
