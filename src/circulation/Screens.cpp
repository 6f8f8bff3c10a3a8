#include "widgets/ScreenRegistry.h"

#include "ReserveUt.h"
#include "XuJieUt.h"
#include "data/Database.h"

// Screens of this folder that the main window's commands open.
void registerCirculationScreens()
{
    ScreenRegistry& screens = ScreenRegistry::instance();
    screens.add(Command::Renew,
                [](QWidget* parent) { return new TXuJieFm(Database::shared(), parent); });
    screens.add(Command::Reservations,
                [](QWidget* parent) { return new TReserveFm(Database::shared(), parent); });
}
