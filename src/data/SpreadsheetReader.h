// Reading the operator's spreadsheets cell by cell as text: .xlsx (minizip, QXmlStreamReader
// for the small parts and a byte scanner for the worksheet), legacy .xls (FreeXL) and .csv
// (UTF-8 or GBK). The importers use only
// this interface: the used range and the text of a cell, both counted from 1 like the
// cells of a worksheet.
//
// Cell text is what a librarian expects to see: whole numbers as their digits
// ("9787115113115", never "9.78712E+12" or "1001.0"), other numbers as the shortest
// decimal text that reads back exactly, dates as "yyyy-MM-dd" and, when there is a time of
// day, "yyyy-MM-dd hh:mm:ss". A damaged, truncated or foreign file makes open() fail with
// a message for the operator; it never crashes the program.
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QXmlStreamReader;

class SpreadsheetReader
{
public:
    virtual ~SpreadsheetReader() = default;

    // Reads the sheet the workbook opens on (the first one of a .csv). Returns false and
    // fills *error when the file cannot be read; the reader is then empty.
    virtual bool open(const QString& path, QString* error) = 0;

    // The used range: the last row and the last column holding a non-empty cell.
    int rowCount() const { return rowCount_; }
    int columnCount() const { return columnCount_; }
    // The text of the cell at row, column (both from 1); empty text outside the range.
    QString cell(int row, int column) const;
    // The same, and whether the file holds the cell as a number (not a date): its text is
    // then the decimal text of that number, which reads back to the very double of the file.
    QString cell(int row, int column, bool* isNumber) const;

    // The reader for the file, chosen by its first bytes (zip: .xlsx, OLE2: .xls) or else
    // by its extension (.csv, .txt). Returns nullptr with *error filled for a file that is
    // no spreadsheet this program reads.
    static std::unique_ptr<SpreadsheetReader> forFile(const QString& path, QString* error);
    // forFile() and open() in one step. A file whose reading exhausts the memory is refused
    // like a damaged one, with a message; it never ends the program.
    static std::unique_ptr<SpreadsheetReader> openFile(const QString& path, QString* error);
    // reader.open() with an allocation failure turned into that refusal.
    static bool openRefusingExhaustion(SpreadsheetReader& reader, const QString& path,
                                       QString* error);

protected:
    // Building the grid, for the readers. Cells may come in any order; empty texts are
    // not kept.
    void clear();
    enum class CellKind
    {
        Text,
        Number, // a number cell of the file, its text the number's decimal text
    };
    void setCell(int row, int column, QStringView text, CellKind kind = CellKind::Text);
    // A text kept once in the pool (the shared strings of a workbook), then referred to by
    // any number of cells without copying.
    struct PoolText
    {
        uint32_t offset = 0;
        uint32_t length = 0;
    };
    PoolText addToPool(QStringView text);
    PoolText addUtf8ToPool(QByteArrayView utf8);
    void setCell(int row, int column, PoolText text, CellKind kind = CellKind::Text);
    // Sorts the cells and builds the row index; call once all cells are set.
    void finish();

private:
    struct Entry
    {
        uint32_t row;
        uint32_t column : 31;
        uint32_t number : 1; // CellKind::Number
        PoolText text;
    };
    QString pool_;
    std::vector<Entry> entries_;
    std::vector<uint32_t> rowStart_; // entries_ index of the first cell of each row
    bool sorted_ = true;
    int rowCount_ = 0;
    int columnCount_ = 0;
};

class XlsxReader : public SpreadsheetReader
{
public:
    bool open(const QString& path, QString* error) override;
};

class XlsReader : public SpreadsheetReader
{
public:
    bool open(const QString& path, QString* error) override;
};

// Fields separated by commas, quoted fields with doubled quotes, commas and line breaks
// inside quotes.
class CsvReader : public SpreadsheetReader
{
public:
    bool open(const QString& path, QString* error) override;
};

// Excel's own limits of a worksheet, kept by every reader: a file beyond them is refused at
// once, with a message, instead of being read on and on.
namespace SheetLimits {
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
constexpr int kMaxCellChars = 32767;
// The most bytes one cell's text can take in a file: every character written as the
// longest XML character reference ("&#1114111;").
constexpr qsizetype kMaxCellBytes = qsizetype(kMaxCellChars) * 10;
// The message for a cell beyond kMaxCellChars.
QString cellTooLong(int row, int column);
} // namespace SheetLimits

// The text forms of cell values, shared by the readers.
namespace SheetText {
// "9787115113115", "29.8", "-0.125", "1e-07" is never produced: fixed notation always.
QString number(double value);
// A worksheet date serial (days since the workbook's epoch, fraction = time of day) as
// "yyyy-MM-dd", "yyyy-MM-dd hh:mm:ss" or, below one day, "hh:mm:ss". Empty text when the
// serial is no date.
QString serialDate(double serial, bool date1904);
// Whether an .xlsx number format shows a date or time: the built-in date formats, and
// codes with y, m, d, h or s outside quotes, brackets and escapes.
bool isDateFormat(int numFmtId, const QString& formatCode);
// The number format of each cell style of an .xlsx styles part (its cellXfs, in order):
// the numFmtId and the code the part defines for it, nullopt for a built-in format.
struct CellStyleFormat
{
    int numFmtId = 0;
    std::optional<QString> formatCode;
};
QList<CellStyleFormat> cellStyleFormats(QXmlStreamReader& stylesXml);
} // namespace SheetText
