#include "BorrowOptBkUt.h"

TBorrowOptBkFm::TBorrowOptBkFm(const Database& db, const QString& table, const QString& keyColumn,
                               Choose choose, QWidget* parent)
    : PickerDialog(QStringLiteral("名称或者首拼(&N):"), QStringLiteral("编号(&B):"),
                   std::move(choose), parent),
      db_(db), table_(table), keyColumn_(keyColumn)
{
    setObjectName(QStringLiteral("TBorrowOptBkFm"));
}

PickerRows TBorrowOptBkFm::initialRows()
{
    return BorrowPicker::itemsInitial(db_, table_);
}

PickerRows TBorrowOptBkFm::rowsByName(const QString& text)
{
    return BorrowPicker::itemsByName(db_, table_, text);
}

PickerRows TBorrowOptBkFm::rowsByNumber(const QString& text)
{
    return BorrowPicker::itemsByNumber(db_, table_, text);
}

QString TBorrowOptBkFm::valueOf(const QStringList& row) const
{
    return BorrowPicker::itemKey(row, keyColumn_);
}
