#include "LendingPickers.h"

#include "BkBorrowUt.h"
#include "BorrowOptBkUt.h"
#include "BorrowOptRdUt.h"

#include <QLineEdit>

void installLendingPickers()
{
    TBkBorrowFm::setReaderPicker([](TBkBorrowFm* screen) {
        auto* picker = new TBorrowOptRdFm(
            Database::shared(),
            [screen](const QString& readerNumber) {
                screen->readerNumberEdit()->setText(readerNumber);
                screen->RdSearch();
            },
            screen);
        picker->exec();
    });
    TBkBorrowFm::setItemPicker([](TBkBorrowFm* screen) {
        auto* picker = new TBorrowOptBkFm(
            Database::shared(), screen->currentTable(), screen->currentKey(),
            [screen](const QString& item) {
                screen->itemEdit()->setText(item);
                screen->bksearch();
            },
            screen);
        picker->exec();
    });
}
