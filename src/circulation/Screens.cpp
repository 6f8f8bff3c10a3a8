#include "widgets/ScreenRegistry.h"

#include "BkBorrowUt.h"
#include "BkJySearchUt.h"
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
    // Lending is modal, except beside an open returning screen: a modal lending screen would
    // block the returning window that F6 brings forward.
    screens.addModalWhen(
        Command::Borrow, [](QWidget* parent) { return new TBkBorrowFm(parent); },
        [] { return ScreenRegistry::instance().existing(Command::Return) == nullptr; });
    screens.add(
        Command::Return, [](QWidget* parent) { return new TBkReturnFm(parent); }, false);
    screens.add(Command::PosPrinter, [](QWidget* parent) { return new TPosPrtSetFm(parent); });
    screens.add(Command::Renew,
                [](QWidget* parent) { return new TXuJieFm(Database::shared(), parent); });
    screens.add(Command::Reservations,
                [](QWidget* parent) { return new TReserveFm(Database::shared(), parent); });
    screens.add(Command::LoanSearch, [](QWidget* parent) { return new TBkJySearchFm(parent); });
    screens.add(Command::OverdueLoans, [](QWidget* parent) { return new TDueRecordFm(parent); });
}
