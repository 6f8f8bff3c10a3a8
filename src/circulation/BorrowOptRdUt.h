// The reader picker of the lending screen: finds readers by name, pinyin initials or
// number and hands the chosen 读者编号 back to the lending screen's reader check.
#pragma once

#include "PickerDialog.h"

class Database;

class TBorrowOptRdFm : public PickerDialog
{
    Q_OBJECT
public:
    TBorrowOptRdFm(const Database& db, Choose choose, QWidget* parent = nullptr);

protected:
    PickerRows initialRows() override;
    PickerRows rowsByName(const QString& text) override;
    PickerRows rowsByNumber(const QString& text) override;
    QString valueOf(const QStringList& row) const override;

private:
    const Database& db_;
};
