#include "QkSearchUt.h"

#include "QkEditUt.h"
#include "widgets/ScreenRegistry.h"

TQkSearchFm::TQkSearchFm(QWidget* parent) : CatalogueList(CatalogueTable::periodicals(), parent)
{
    addSearchCommand();
    addItemCommands();
    addRefreshCommand();
    addShowAllCommand();
    addPrintCommand();
    addBarcodeCommand();
    addExportCommand();
    addCloseCommand();
}

QWidget* TQkSearchFm::createEditScreen(const QString& number)
{
    // The list is not read again after a save, as the row stays where it is.
    return new TQkEditFm(number, this);
}

void TQkSearchFm::addItem()
{
    ScreenRegistry::instance().open(Command::AddPeriodical, this);
}
