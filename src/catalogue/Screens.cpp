#include "BkAddUt.h"
#include "InExcelDataUt.h"
#include "widgets/ScreenRegistry.h"

// Screens of this folder that the main window's commands open.
void registerCatalogueScreens()
{
    ScreenRegistry::instance().add(Command::AddBook,
                                   [](QWidget* parent) { return new TBkAddFm(parent); });
    ScreenRegistry::instance().add(Command::ImportBooks,
                                   [](QWidget* parent) { return new TInExcelDataFm(parent); });
}
