// The periodical management screen: the list of issues with entry, editing, deletion,
// printing (list, barcodes) and export. It does not block the rest of the program.
#pragma once

#include "CatalogueList.h"

class TQkSearchFm : public CatalogueList
{
    Q_OBJECT
public:
    explicit TQkSearchFm(QWidget* parent = nullptr);

protected:
    QWidget* createEditScreen(const QString& number) override;
    void addItem() override;
};
