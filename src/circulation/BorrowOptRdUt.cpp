#include "BorrowOptRdUt.h"

TBorrowOptRdFm::TBorrowOptRdFm(const Database& db, Choose choose, QWidget* parent)
    : PickerDialog(QStringLiteral("姓名或者首拼(&N):"), QStringLiteral("读者编号(&B):"),
                   std::move(choose), parent),
      db_(db)
{
    setObjectName(QStringLiteral("TBorrowOptRdFm"));
}

PickerRows TBorrowOptRdFm::initialRows()
{
    return BorrowPicker::readersInitial(db_);
}

PickerRows TBorrowOptRdFm::rowsByName(const QString& text)
{
    return BorrowPicker::readersByName(db_, text);
}

PickerRows TBorrowOptRdFm::rowsByNumber(const QString& text)
{
    return BorrowPicker::readersByNumber(db_, text);
}

QString TBorrowOptRdFm::valueOf(const QStringList& row) const
{
    return BorrowPicker::readerNumber(row);
}
