// The reader import screen: the readers of a spreadsheet, one a row, into 读者库.
#pragma once

#include "widgets/SheetImportForm.h"

class TInExcelRdFm : public SheetImportForm
{
    Q_OBJECT
public:
    explicit TInExcelRdFm(QWidget* parent = nullptr);
};
