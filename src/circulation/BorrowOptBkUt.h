// The item picker of the lending screen: finds books or periodicals (the lending screen's
// current table) by title, pinyin initials or number and hands back the chosen item's
// 编号, or its 条形码 when the lending screen looks items up by barcode.
#pragma once

#include "PickerDialog.h"

class Database;

class TBorrowOptBkFm : public PickerDialog
{
    Q_OBJECT
public:
    // table: "图书" or "期刊"; keyColumn: "编号" or "条形码".
    TBorrowOptBkFm(const Database& db, const QString& table, const QString& keyColumn,
                   Choose choose, QWidget* parent = nullptr);

protected:
    PickerRows initialRows() override;
    PickerRows rowsByName(const QString& text) override;
    PickerRows rowsByNumber(const QString& text) override;
    QString valueOf(const QStringList& row) const override;

private:
    const Database& db_;
    QString table_;
    QString keyColumn_;
};
