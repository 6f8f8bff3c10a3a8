#include "SettingsFile.h"

#include "TextCodec.h"

#include <QFile>
#include <QSaveFile>

SettingsFile::SettingsFile(QString path) : path_(std::move(path)) {}

QStringList SettingsFile::loadLines(bool* wasUtf8) const
{
    QFile f(path_);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    bool utf8 = false;
    const QString text = TextCodec::decodeLocalText(bytes, &utf8);
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
    QStringList lines = loadLines(&utf8);
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
    // A file that was UTF-8 stays UTF-8; otherwise GBK, as the installation wrote it.
    const QByteArray bytes = utf8 ? text.toUtf8() : TextCodec::toGbk(text);

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
