#include "TextHelpers.h"

#include "LoginState.h"
#include "TextCodec.h"

#include <array>

namespace {
struct Range
{
    unsigned first;
    char letter;
};

// First code of each letter's range; the last range ends at D7F9.
constexpr std::array<Range, 23> kRanges{{
    {0xB0A1, 'A'}, {0xB0C5, 'B'}, {0xB2C1, 'C'}, {0xB4EE, 'D'}, {0xB6EA, 'E'}, {0xB7A2, 'F'},
    {0xB8C1, 'G'}, {0xB9FE, 'H'}, {0xBBF7, 'J'}, {0xBFA6, 'K'}, {0xC0AC, 'L'}, {0xC2E8, 'M'},
    {0xC4C3, 'N'}, {0xC5B6, 'O'}, {0xC5BE, 'P'}, {0xC6DA, 'Q'}, {0xC8BB, 'R'}, {0xC8F6, 'S'},
    {0xCBFA, 'T'}, {0xCDDA, 'W'}, {0xCEF4, 'X'}, {0xD189, 'Y'}, {0xD4D1, 'Z'},
}};
constexpr unsigned kLastCode = 0xD7F9;

QChar initialOfCode(unsigned code)
{
    if (code < kRanges.front().first || code > kLastCode)
        return QLatin1Char(' ');
    char letter = ' ';
    for (const Range& r : kRanges) {
        if (code < r.first)
            break;
        letter = r.letter;
    }
    return QLatin1Char(letter);
}
} // namespace

QChar PinyinInitial(const QByteArray& gbkBytes)
{
    if (gbkBytes.size() < 2)
        return QLatin1Char(' ');
    const unsigned code =
        static_cast<unsigned char>(gbkBytes[0]) * 256u + static_cast<unsigned char>(gbkBytes[1]);
    return initialOfCode(code);
}

QChar PinyinInitial(const QString& text)
{
    return PinyinInitial(TextCodec::toGbk(text));
}

QString PinyinInitials(const QString& text)
{
    const QByteArray bytes = TextCodec::toGbk(text);
    QString result;
    result.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        result += PinyinInitial(bytes.mid(i, 2));
    return result;
}

QString StringDelimiter(const QString& dbKind)
{
    if (dbKind == QLatin1String("s"))
        return QStringLiteral("'");
    if (dbKind == QLatin1String("a"))
        return QStringLiteral("\"");
    return {};
}

QString DateDelimiter(const QString& dbKind)
{
    if (dbKind == QLatin1String("s"))
        return QStringLiteral("'");
    if (dbKind == QLatin1String("a"))
        return QStringLiteral("#");
    return {};
}

QString StringDelimiter()
{
    return StringDelimiter(LoginState::instance().DbKind);
}
QString DateDelimiter()
{
    return DateDelimiter(LoginState::instance().DbKind);
}
