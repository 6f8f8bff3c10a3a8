// The book management screen: the book list with its totals line, the doorway to entry,
// editing and stock, deletion, printing (list, barcodes, a label) and export.
#pragma once

#include "CatalogueList.h"

class TBkSearchFm : public CatalogueList
{
    Q_OBJECT
public:
    explicit TBkSearchFm(QWidget* parent = nullptr);
    // "打印标签": the label of the current book.
    void printLabel();
    // "MARC导出": the searched books or the current one as a MARC file.
    void exportMarc();

protected:
    QWidget* createEditScreen(const QString& number) override;
    void addItem() override;
    void firstShown() override;
};
