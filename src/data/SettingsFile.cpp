#include "SettingsFile.h"

#include "TextCodec.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {
// The characters of Chinese settings text written in UTF-8: general punctuation (“”…),
// CJK symbols and punctuation (。、【】), the unified ideographs and the full-width forms.
bool chineseTextCharacter(char32_t c)
{
    return (c >= 0x2000 && c <= 0x206F) || (c >= 0x3000 && c <= 0x303F) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

// Whether the bytes are GBK text: decoding and encoding again gives them back (an invalid
// or cut-off sequence decodes to a replacement character, which does not).
bool validGbk(const QByteArray& bytes, const QString& decoded)
{
    return TextCodec::toGbk(decoded) == bytes;
}

// de.ini is GBK, as the Windows profile functions wrote it; a file counts as UTF-8 only by
// a byte-order mark or when its content cannot be GBK text read as UTF-8 by chance. Short
// GBK texts are often valid UTF-8 (学校 is D1A7 D0A3, which UTF-8 reads as "ѧУ"), but then
// mostly as two-byte sequences (U+0080..U+07FF: Latin, Greek, Cyrillic, ...) or rare code
// points; Chinese text alone is what real UTF-8 settings hold and what chance seldom makes.
// So: valid UTF-8 that is not valid GBK, or valid UTF-8 whose every non-ASCII character is
// a three-byte character of Chinese text.
QString decodeSettingsText(const QByteArray& bytes, bool* wasUtf8)
{
    *wasUtf8 = false;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        *wasUtf8 = true;
        return QString::fromUtf8(bytes.mid(3));
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return TextCodec::fromGbk(bytes);
    bool multibyte = false;
    bool chinese = true;
    for (char32_t c : text.toUcs4()) {
        if (c < 0x80)
            continue;
        multibyte = true;
        if (!chineseTextCharacter(c))
            chinese = false;
    }
    if (!multibyte) // plain ASCII: either reading gives the same text; GBK it stays
        return text;
    const QString gbk = TextCodec::fromGbk(bytes);
    if (chinese || !validGbk(bytes, gbk)) {
        *wasUtf8 = true;
        return text;
    }
    return gbk;
}
} // namespace

SettingsFile::SettingsFile(QString path) : path_(std::move(path)) {}

QStringList SettingsFile::loadLines(bool* wasUtf8, bool* hadBom) const
{
    QFile f(path_);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    if (hadBom)
        *hadBom = bytes.startsWith("\xEF\xBB\xBF");
    bool utf8 = false;
    const QString text = decodeSettingsText(bytes, &utf8);
    if (wasUtf8)
        *wasUtf8 = utf8;
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& l : lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

namespace {
bool isSectionLine(const QString& line, QString* name)
{
    const QString t = line.trimmed();
    if (t.size() < 2 || !t.startsWith(QLatin1Char('[')))
        return false;
    const int close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return false;
    *name = t.mid(1, close - 1).trimmed();
    return true;
}

bool isKeyLine(const QString& line, QString* key, QString* value)
{
    const QString t = line.trimmed();
    if (t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
        return false;
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return false;
    *key = line.left(eq).trimmed();
    if (value)
        *value = line.mid(eq + 1).trimmed();
    return !key->isEmpty();
}
} // namespace

QString SettingsFile::read(const QString& section, const QString& key,
                           const QString& defaultValue) const
{
    bool inSection = false;
    for (const QString& line : loadLines()) {
        QString name, k, v;
        if (isSectionLine(line, &name)) {
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inSection && isKeyLine(line, &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    }
    return defaultValue;
}

bool SettingsFile::write(const QString& section, const QString& key, const QString& value,
                         QString* error)
{
    bool utf8 = false;
    bool bom = false;
    QStringList lines = loadLines(&utf8, &bom);
    const QString newLine = key + QLatin1Char('=') + value;

    int sectionStart = -1; // index of the section line
    int sectionEnd = -1;   // one past its last non-blank line
    int keyLine = -1;
    bool inSection = false;
    for (int i = 0; i < lines.size(); ++i) {
        QString name, k;
        if (isSectionLine(lines[i], &name)) {
            if (inSection)
                break;
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection)
                sectionStart = sectionEnd = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (!lines[i].trimmed().isEmpty())
            sectionEnd = i + 1;
        if (keyLine < 0 && isKeyLine(lines[i], &k, nullptr) &&
            k.compare(key, Qt::CaseInsensitive) == 0)
            keyLine = i;
    }
    if (keyLine >= 0) {
        lines[keyLine] = newLine;
    } else if (sectionStart >= 0) {
        lines.insert(sectionEnd, newLine);
    } else {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << QLatin1Char('[') + section + QLatin1Char(']') << newLine;
    }

    const QString text = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    // A file that was UTF-8 stays UTF-8, with its byte-order mark when it had one, or gets
    // the mark when the new content alone would no longer read as UTF-8; any other file is
    // written in GBK, as the installation wrote it.
    QByteArray bytes;
    if (utf8) {
        bytes = text.toUtf8();
        bool readsAsUtf8 = false;
        decodeSettingsText(bytes, &readsAsUtf8);
        if (bom || !readsAsUtf8)
            bytes.prepend("\xEF\xBB\xBF");
    } else {
        bytes = TextCodec::toGbk(text);
    }

    QSaveFile out(path_);
    if (!out.open(QIODevice::WriteOnly)) {
        if (error)
            *error = out.errorString();
        return false;
    }
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (out.write(bytes) != bytes.size() || !out.commit()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    return true;
}
