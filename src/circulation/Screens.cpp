#include "widgets/ScreenRegistry.h"

#include "BkBorrowUt.h"
#include "BkReturnUt.h"
#include "LendingPickers.h"
#include "PosPrtSetUt.h"
#include "ReserveUt.h"
#include "XuJieUt.h"
#include "data/Database.h"

// Screens of this folder that the main window's commands open.
void registerCirculationScreens()
{
    ScreenRegistry& screens = ScreenRegistry::instance();
    installLendingPickers();
    screens.add(
        Command::Borrow, [](QWidget* parent) { return new TBkBorrowFm(parent); }, true);
    screens.add(
        Command::Return, [](QWidget* parent) { return new TBkReturnFm(parent); }, false);
    screens.add(Command::PosPrinter, [](QWidget* parent) { return new TPosPrtSetFm(parent); });
    screens.add(Command::Renew,
                [](QWidget* parent) { return new TXuJieFm(Database::shared(), parent); });
    screens.add(Command::Reservations,
                [](QWidget* parent) { return new TReserveFm(Database::shared(), parent); });
}
