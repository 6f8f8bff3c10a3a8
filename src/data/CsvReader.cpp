// Comma-separated text as written by spreadsheets: UTF-8 (with or without a byte order
// mark) or GBK, the encoding found from the bytes.
//
// The file is read in chunks and split on its bytes, twice: the first pass keeps Excel's
// limits (a field without end, a line of endless commas, endless lines are refused at once,
// whatever the size of the file) and finds the encoding; the second decodes each field. In
// UTF-8 and GBK alike the bytes of ',', '"', CR and LF never occur inside a character, so
// the fields split the same in either.
#include "SpreadsheetReader.h"
#include "TextCodec.h"

#include <QDir>
#include <QFile>
#include <functional>

namespace {
using SheetLimits::kMaxCellChars;
using SheetLimits::kMaxColumns;
using SheetLimits::kMaxRows;

// No character of either encoding takes more bytes than this.
constexpr qsizetype kMaxFieldBytes = qsizetype(kMaxCellChars) * 4;
constexpr qint64 kChunk = 1 << 20;

// Whether bytes fed piece by piece are UTF-8: no stray or missing continuation byte, no
// overlong form, surrogate or code point beyond U+10FFFF.
class Utf8Check
{
public:
    void feed(QByteArrayView bytes)
    {
        for (const char ch : bytes) {
            const auto c = static_cast<unsigned char>(ch);
            if (pending_ > 0) {
                if ((c & 0xC0) != 0x80 || c < low_ || c > high_) {
                    valid_ = false;
                    return;
                }
                low_ = 0x80;
                high_ = 0xBF;
                --pending_;
            } else if (c >= 0x80) {
                // The second byte's range rules out overlong forms and surrogates.
                low_ = 0x80;
                high_ = 0xBF;
                if (c >= 0xC2 && c <= 0xDF) {
                    pending_ = 1;
                } else if (c >= 0xE0 && c <= 0xEF) {
                    pending_ = 2;
                    if (c == 0xE0)
                        low_ = 0xA0;
                    else if (c == 0xED)
                        high_ = 0x9F;
                } else if (c >= 0xF0 && c <= 0xF4) {
                    pending_ = 3;
                    if (c == 0xF0)
                        low_ = 0x90;
                    else if (c == 0xF4)
                        high_ = 0x8F;
                } else {
                    valid_ = false;
                    return;
                }
            }
        }
    }
    bool valid() const { return valid_ && pending_ == 0; }

private:
    bool valid_ = true;
    int pending_ = 0;
    unsigned char low_ = 0x80;
    unsigned char high_ = 0xBF;
};

// The fields of comma-separated bytes: commas, line breaks (CR, LF or CR LF), quoted
// fields with doubled quotes, commas and line breaks inside quotes. Each field ends with
// its row and column (from 1) and its bytes; empty lines count as rows.
class CsvSplitter
{
public:
    using FieldEnd = std::function<void(int row, int column, const QByteArray& bytes)>;
    explicit CsvSplitter(FieldEnd fieldEnd) : fieldEnd_(std::move(fieldEnd)) {}

    // False, with error() filled, once the text goes beyond a worksheet's limits.
    bool feed(QByteArrayView bytes)
    {
        for (const char c : bytes) {
            if (state_ == QuoteInQuoted) {
                if (c == '"') {
                    field_ += '"';
                    state_ = Quoted;
                    continue;
                }
                state_ = Unquoted; // the quote closed the quoted part; c is outside it
            }
            if (state_ == Quoted) {
                if (c == '"')
                    state_ = QuoteInQuoted;
                else
                    field_ += c;
            } else if (afterCr_ && c == '\n') {
                afterCr_ = false;
                continue;
            } else if (c == '"') {
                state_ = Quoted;
                anyOnLine_ = true;
            } else if (c == ',') {
                if (!endField())
                    return false;
                anyOnLine_ = true;
            } else if (c == '\r' || c == '\n') {
                if (!endLine())
                    return false;
                afterCr_ = c == '\r';
                continue;
            } else {
                field_ += c;
                anyOnLine_ = true;
            }
            afterCr_ = false;
            if (field_.size() > kMaxFieldBytes) {
                error_ = SheetLimits::cellTooLong(row_, column_);
                return false;
            }
        }
        return true;
    }
    // The end of the text.
    bool finish() { return !(anyOnLine_ || !field_.isEmpty()) || endField(); }
    const QString& error() const { return error_; }

private:
    bool endField()
    {
        if (row_ > kMaxRows) {
            error_ = QStringLiteral("超过 %1 行（Excel 工作表的上限）").arg(kMaxRows);
            return false;
        }
        if (column_ > kMaxColumns) {
            error_ = QStringLiteral("第 %1 行超过 %2 列（Excel 工作表的上限）")
                         .arg(row_)
                         .arg(kMaxColumns);
            return false;
        }
        if (!field_.isEmpty())
            fieldEnd_(row_, column_, field_);
        field_.clear();
        ++column_;
        return true;
    }
    bool endLine()
    {
        if (!endField())
            return false;
        ++row_;
        column_ = 1;
        anyOnLine_ = false;
        return true;
    }

    enum State
    {
        Unquoted,
        Quoted,
        QuoteInQuoted, // a quote inside a quoted field: doubled, or the field's closing one
    };
    FieldEnd fieldEnd_;
    State state_ = Unquoted;
    bool afterCr_ = false;
    bool anyOnLine_ = false; // the line has had a character
    int row_ = 1;
    int column_ = 1;
    QByteArray field_;
    QString error_;
};

// Reads the whole file through feed in chunks; false with *error filled when it cannot be
// read or feed refuses a chunk.
bool readChunks(QFile& f, const QString& shown, const std::function<bool(QByteArrayView)>& feed,
                QString* error)
{
    if (!f.seek(0)) {
        *error = QStringLiteral("无法读取文件 %1：%2").arg(shown, f.errorString());
        return false;
    }
    QByteArray chunk;
    for (;;) {
        chunk.resize(kChunk);
        const qint64 n = f.read(chunk.data(), kChunk);
        if (n < 0) {
            *error = QStringLiteral("无法读取文件 %1：%2").arg(shown, f.errorString());
            return false;
        }
        if (n == 0)
            return true;
        if (!feed(QByteArrayView(chunk.constData(), n)))
            return false;
    }
}
} // namespace

bool CsvReader::open(const QString& path, QString* error)
{
    clear();
    const QString shown = QDir::toNativeSeparators(path);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法打开文件 %1：%2").arg(shown, f.errorString());
        return false;
    }
    const bool bom = f.peek(3) == QByteArrayView("\xEF\xBB\xBF");

    // First pass: the limits, the encoding and no binary content.
    Utf8Check utf8;
    CsvSplitter limits([](int, int, const QByteArray&) {});
    bool binary = false;
    if (!readChunks(
            f, shown,
            [&](QByteArrayView bytes) {
                if (bytes.contains('\0')) {
                    binary = true;
                    return false;
                }
                if (!bom)
                    utf8.feed(bytes);
                if (!limits.feed(bytes)) {
                    *error = QStringLiteral("%1 不能读取：%2。").arg(shown, limits.error());
                    return false;
                }
                return true;
            },
            error) ||
        !limits.finish()) {
        if (binary)
            *error = QStringLiteral("%1 不是文本格式的 CSV 文件。").arg(shown);
        else if (!limits.error().isEmpty())
            *error = QStringLiteral("%1 不能读取：%2。").arg(shown, limits.error());
        return false;
    }

    // Second pass: the cells.
    const bool isUtf8 = bom || utf8.valid();
    QString tooLong;
    CsvSplitter cells([&](int row, int column, const QByteArray& bytes) {
        const QString text = isUtf8 ? QString::fromUtf8(bytes) : TextCodec::fromGbk(bytes);
        if (text.size() > kMaxCellChars && tooLong.isEmpty())
            tooLong = SheetLimits::cellTooLong(row, column);
        setCell(row, column, text);
    });
    bool first = true;
    if (!readChunks(
            f, shown,
            [&](QByteArrayView bytes) {
                if (first && bom)
                    bytes = bytes.sliced(3);
                first = false;
                return cells.feed(bytes) && tooLong.isEmpty();
            },
            error) ||
        !cells.finish() || !tooLong.isEmpty()) {
        clear();
        if (!tooLong.isEmpty())
            *error = QStringLiteral("%1 不能读取：%2。").arg(shown, tooLong);
        return false;
    }
    finish();
    return true;
}
