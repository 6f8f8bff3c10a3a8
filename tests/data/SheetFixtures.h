// Helpers for the spreadsheet tests: writing a zip file part by part (to make workbooks by
// hand, damaged ones included) and looking at the cells of a written .xlsx as they are in
// the file (their type and number format), not as a reader turns them into text.
#pragma once

#include <QHash>
#include <QList>
#include <QString>
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
} // namespace SheetFixtures
