// The book import screen: the books of a spreadsheet, one a row, into 图书.
#pragma once

#include "widgets/SheetImportForm.h"

class TInExcelDataFm : public SheetImportForm
{
    Q_OBJECT
public:
    explicit TInExcelDataFm(QWidget* parent = nullptr);
};
