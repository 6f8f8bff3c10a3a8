// The book edit screen: every catalogue field of one book; the stock is changed only
// through "修改", which opens the stock screen.
#pragma once

#include "ItemEditScreen.h"

class TBkEditFm : public ItemEditScreen
{
    Q_OBJECT
public:
    explicit TBkEditFm(const QString& number, QWidget* parent = nullptr);

    // Enter in 条形码: 出版社 and ISBN of the publisher whose ISBN prefix the barcode holds.
    void BarCodeFindPub();
    // "修改": the stock screen over this book and the changes not yet saved.
    void modifyStock();
    // "Run": opens the electronic document with the desktop.
    void runDocument();

protected:
    bool maySave() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void sourceChanged();
    void chooseDocument();
};
