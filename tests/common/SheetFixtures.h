// Helpers for the spreadsheet tests: writing a zip file part by part (to make workbooks by
// hand, damaged ones included) and looking at the cells of a written .xlsx as they are in
// the file (their type and number format), not as a reader turns them into text.
#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <utility>

namespace SheetFixtures {
// Writes a zip file holding the given parts (name, content); false when it cannot.
bool writeZip(const QString& path, const QList<std::pair<QString, QByteArray>>& parts);
// One part of a zip file; empty when missing.
QByteArray readZipPart(const QString& path, const QString& name);

struct RawCell
{
    QString type;   // the t attribute: "" (number), "s", "inlineStr", "b", ...
    QString value;  // <v> or the inline text
    QString format; // number format code of the cell's style, "General" when none
};

// The cells of the first worksheet of an .xlsx by reference ("A1"); also the widths of
// the columns by number from 1 (0 when not set).
struct RawSheet
{
    QHash<QString, RawCell> cells;
    QHash<int, double> widths;
    QString error;
};
RawSheet readRawSheet(const QString& path);

// Writes a one-sheet .xlsx of the given rows, row 1 first. A cell is a QString (a text), a
// QDate (a date cell), a number (int, qlonglong or double) or a QByteArray (a number cell
// holding exactly these digits, as a program that keeps long numbers writes them); a null
// QVariant leaves the cell empty.
bool writeWorkbook(const QString& path, const QList<QVariantList>& rows);

// A small .xlsx (rows 编号/名称, B1, B2) whose sheet part inflates by that many blanks,
// deflated as they are written: inside the text of cell B2, or between rows 1 and 2.
enum class Inflating
{
    InCell,
    BetweenRows,
};
bool writeInflatingWorkbook(const QString& path, Inflating where, qint64 blanks);

// A 2 MiB compound file (.xls) whose header asks for sectors of 2^sectorShift bytes, an
// allocation table without end and a DIFAT sector that points to itself.
QByteArray hostileCompoundFile(int sectorShift);
} // namespace SheetFixtures
