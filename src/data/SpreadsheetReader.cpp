#include "SpreadsheetReader.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <new>

// ---------------------------------------------------------------------------------------
// The grid of cells

QString SpreadsheetReader::cell(int row, int column) const
{
    return cell(row, column, nullptr);
}

QString SpreadsheetReader::cell(int row, int column, bool* isNumber) const
{
    if (isNumber)
        *isNumber = false;
    if (row < 1 || row > rowCount_ || column < 1 || column > columnCount_)
        return {};
    const auto begin = entries_.begin() + rowStart_[row];
    const auto end = entries_.begin() + rowStart_[row + 1];
    const auto it = std::lower_bound(begin, end, uint32_t(column),
                                     [](const Entry& e, uint32_t c) { return e.column < c; });
    if (it == end || it->column != uint32_t(column))
        return {};
    if (isNumber)
        *isNumber = it->number;
    return pool_.mid(it->text.offset, it->text.length);
}

void SpreadsheetReader::clear()
{
    pool_.clear();
    entries_.clear();
    entries_.shrink_to_fit();
    rowStart_.clear();
    sorted_ = true;
    rowCount_ = 0;
    columnCount_ = 0;
}

SpreadsheetReader::PoolText SpreadsheetReader::addToPool(QStringView text)
{
    PoolText t{uint32_t(pool_.size()), uint32_t(text.size())};
    pool_.append(text);
    return t;
}

SpreadsheetReader::PoolText SpreadsheetReader::addUtf8ToPool(QByteArrayView utf8)
{
    for (const char c : utf8) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            const QString text = QString::fromUtf8(utf8);
            return addToPool(text);
        }
    }
    PoolText t{uint32_t(pool_.size()), uint32_t(utf8.size())};
    pool_.append(QLatin1StringView(utf8.data(), utf8.size()));
    return t;
}

void SpreadsheetReader::setCell(int row, int column, QStringView text, CellKind kind)
{
    if (!text.isEmpty())
        setCell(row, column, addToPool(text), kind);
}

void SpreadsheetReader::setCell(int row, int column, PoolText text, CellKind kind)
{
    if (text.length == 0 || row < 1 || column < 1)
        return;
    if (!entries_.empty()) {
        const Entry& last = entries_.back();
        if (uint32_t(row) < last.row ||
            (uint32_t(row) == last.row && uint32_t(column) <= last.column))
            sorted_ = false;
    }
    entries_.push_back(Entry{uint32_t(row), uint32_t(column), kind == CellKind::Number, text});
}

void SpreadsheetReader::finish()
{
    if (!sorted_) {
        std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
            return a.row != b.row ? a.row < b.row : a.column < b.column;
        });
        // A cell given twice keeps its last value.
        std::vector<Entry> unique;
        unique.reserve(entries_.size());
        for (const Entry& e : entries_) {
            if (!unique.empty() && unique.back().row == e.row && unique.back().column == e.column)
                unique.back() = e;
            else
                unique.push_back(e);
        }
        entries_.swap(unique);
        sorted_ = true;
    }
    rowCount_ = entries_.empty() ? 0 : int(entries_.back().row);
    columnCount_ = 0;
    for (const Entry& e : entries_)
        columnCount_ = std::max(columnCount_, int(e.column));
    rowStart_.assign(size_t(rowCount_) + 2, 0);
    size_t i = 0;
    for (int r = 1; r <= rowCount_ + 1; ++r) {
        while (i < entries_.size() && entries_[i].row < uint32_t(r))
            ++i;
        rowStart_[r] = uint32_t(i);
    }
}

// ---------------------------------------------------------------------------------------
// Choosing the reader

std::unique_ptr<SpreadsheetReader> SpreadsheetReader::forFile(const QString& path, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法打开文件 %1：%2")
                     .arg(QDir::toNativeSeparators(path), f.errorString());
        return nullptr;
    }
    const QByteArray head = f.read(8);
    if (head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06"))
        return std::make_unique<XlsxReader>();
    if (head == QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
        return std::make_unique<XlsReader>();
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv") || suffix == QLatin1String("txt"))
        return std::make_unique<CsvReader>();
    if (suffix.startsWith(QLatin1String("xls")))
        *error = QStringLiteral("%1 不是有效的 Excel 工作簿（文件已损坏或不是 Excel 格式）。")
                     .arg(QDir::toNativeSeparators(path));
    else
        *error =
            QStringLiteral("不能读取文件 %1：只能读取 Excel 工作簿（.xlsx、.xls）和 CSV 文件。")
                .arg(QDir::toNativeSeparators(path));
    return nullptr;
}

std::unique_ptr<SpreadsheetReader> SpreadsheetReader::openFile(const QString& path, QString* error)
{
    std::unique_ptr<SpreadsheetReader> reader = forFile(path, error);
    if (reader && !openRefusingExhaustion(*reader, path, error))
        reader.reset();
    return reader;
}

bool SpreadsheetReader::openRefusingExhaustion(SpreadsheetReader& reader, const QString& path,
                                               QString* error)
{
    try {
        return reader.open(path, error);
    } catch (const std::bad_alloc&) {
        // Whatever the file made the reader ask for is given back with the reader's cells.
        reader.clear();
        *error = QStringLiteral("%1 不能读取：读取它需要的内存超出了可用的内存"
                                "（文件已损坏或超出 Excel 工作表的限度）。")
                     .arg(QDir::toNativeSeparators(path));
        return false;
    }
}

QString SheetLimits::cellTooLong(int row, int column)
{
    return QStringLiteral("第 %1 行第 %2 列的单元格超过 %3 个字符（Excel 单元格的上限）")
        .arg(row)
        .arg(column)
        .arg(kMaxCellChars);
}

// ---------------------------------------------------------------------------------------
// Text forms

QString SheetText::number(double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    if (value == std::trunc(value) && std::fabs(value) < 9.0e18)
        return QString::number(qint64(value));
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

QString SheetText::serialDate(double serial, bool date1904)
{
    // 9999-12-31 is the last day a worksheet can hold.
    if (!std::isfinite(serial) || serial < 0 || serial >= 2958466.0)
        return {};
    const qint64 seconds = std::llround(serial * 86400.0);
    const qint64 days = seconds / 86400;
    const int timeOfDay = int(seconds % 86400);
    const QTime time = QTime(0, 0).addSecs(timeOfDay);
    if (days == 0 && timeOfDay > 0 && !date1904)
        return time.toString(QStringLiteral("hh:mm:ss"));
    QDate date;
    if (date1904)
        date = QDate(1904, 1, 1).addDays(days);
    else if (days < 61) // the 1900 system counts a 29 February 1900 that never was
        date = QDate(1899, 12, 31).addDays(days);
    else
        date = QDate(1899, 12, 30).addDays(days);
    if (timeOfDay == 0)
        return date.toString(QStringLiteral("yyyy-MM-dd"));
    return date.toString(QStringLiteral("yyyy-MM-dd ")) + time.toString(QStringLiteral("hh:mm:ss"));
}

bool SheetText::isDateFormat(int numFmtId, const QString& formatCode)
{
    if (formatCode.isEmpty()) {
        // Built-in formats: 14-22 and 45-47 everywhere, 27-36 and 50-58 are the dates and
        // times of the Chinese (and other East Asian) editions.
        return (numFmtId >= 14 && numFmtId <= 22) || (numFmtId >= 45 && numFmtId <= 47) ||
               (numFmtId >= 27 && numFmtId <= 36) || (numFmtId >= 50 && numFmtId <= 58);
    }
    const qsizetype n = formatCode.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = formatCode.at(i);
        if (c == QLatin1Char('"')) {
            i = formatCode.indexOf(QLatin1Char('"'), i + 1);
            if (i < 0)
                return false;
        } else if (c == QLatin1Char('[')) {
            i = formatCode.indexOf(QLatin1Char(']'), i + 1);
            if (i < 0)
                return false;
        } else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
            ++i; // the next character is shown as it is
        } else {
            switch (c.toLower().unicode()) {
            case 'y':
            case 'm':
            case 'd':
            case 'h':
            case 's':
                return true;
            default:
                break;
            }
        }
    }
    return false;
}
