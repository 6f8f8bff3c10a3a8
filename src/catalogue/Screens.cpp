#include "BkAddUt.h"
#include "widgets/ScreenRegistry.h"

// Screens of this folder that the main window's commands open.
void registerCatalogueScreens()
{
    ScreenRegistry::instance().add(Command::AddBook,
                                   [](QWidget* parent) { return new TBkAddFm(parent); });
}
