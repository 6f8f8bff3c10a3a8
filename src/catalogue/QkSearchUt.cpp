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
    auto* screen = new TQkEditFm(number, this);
    connect(screen, &TQkEditFm::saved, this,
            [this, screen] { refreshKeeping(QStringLiteral("编号"), screen->number()); });
    return screen;
}

void TQkSearchFm::addItem()
{
    ScreenRegistry::instance().open(Command::AddPeriodical, this);
}
