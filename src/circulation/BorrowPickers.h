// Searches of the desk's two pickers: readers from 读者库, items from 图书 or 期刊, by name
// or pinyin initials and by number. The text typed is matched literally anywhere in the
// column: it travels as a bound value and its own "%", "_" and "\" match only themselves.
#pragma once

#include "data/Database.h"

#include <QList>
#include <QString>
#include <QStringList>

struct PickerRows
{
    QStringList columns;     // grid headings, in order
    QList<QStringList> rows; // display texts, one list per row, in column order
};

namespace BorrowPicker {
// How many rows the list shown on opening holds; searches return every match.
inline constexpr int kInitialRows = 200;

// "%" + text + "%" with the text's own wildcard and escape characters escaped by "\".
QString containsPattern(const QString& text);

PickerRows readersInitial(const Database& db);
PickerRows readersByName(const Database& db, const QString& text);   // 读者姓名 or py
PickerRows readersByNumber(const Database& db, const QString& text); // 读者编号
// The 读者编号 of a row of a reader result; empty for an empty row.
QString readerNumber(const QStringList& row);

// table is "图书" or "期刊" (anything else throws DbError).
PickerRows itemsInitial(const Database& db, const QString& table);
PickerRows itemsByName(const Database& db, const QString& table, const QString& text);
PickerRows itemsByNumber(const Database& db, const QString& table, const QString& text);
// The value the lending screen expects from an item row: its 条形码 when keyColumn is
// "条形码", its 编号 otherwise; empty for an empty row.
QString itemKey(const QStringList& row, const QString& keyColumn);
} // namespace BorrowPicker
