#include "SetDataUt.h"
#include "widgets/ScreenRegistry.h"

// Screens of this folder that the main window's commands open.
void registerAppScreens()
{
    ScreenRegistry::instance().add(Command::DatabaseSettings,
                                   [](QWidget* parent) { return new TSetDataFm(parent); });
}
