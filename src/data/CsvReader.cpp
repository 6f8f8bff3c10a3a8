// Comma-separated text as written by spreadsheets: UTF-8 (with or without a byte order
// mark) or GBK, the encoding found from the bytes.
#include "SpreadsheetReader.h"
#include "TextCodec.h"

#include <QDir>
#include <QFile>

bool CsvReader::open(const QString& path, QString* error)
{
    clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法打开文件 %1：%2")
                     .arg(QDir::toNativeSeparators(path), f.errorString());
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        *error = QStringLiteral("无法读取文件 %1：%2")
                     .arg(QDir::toNativeSeparators(path), f.errorString());
        return false;
    }
    if (bytes.contains('\0')) {
        *error = QStringLiteral("%1 不是文本格式的 CSV 文件。").arg(QDir::toNativeSeparators(path));
        return false;
    }
    parse(TextCodec::decodeLocalText(bytes));
    return true;
}

void CsvReader::parse(QStringView text)
{
    clear();
    int row = 1;
    int column = 1;
    QString field;
    bool quoted = false;    // inside a quoted field
    bool anyOnLine = false; // the line has had a character
    const qsizetype n = text.size();
    auto endField = [&] {
        setCell(row, column, field);
        field.clear();
        ++column;
    };
    auto endLine = [&] {
        endField();
        ++row;
        column = 1;
        anyOnLine = false;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                    field += QLatin1Char('"');
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == QLatin1Char('"')) {
            quoted = true;
            anyOnLine = true;
        } else if (c == QLatin1Char(',')) {
            endField();
            anyOnLine = true;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
                ++i;
            endLine();
        } else {
            field += c;
            anyOnLine = true;
        }
    }
    if (anyOnLine || !field.isEmpty())
        endField();
    finish();
}
