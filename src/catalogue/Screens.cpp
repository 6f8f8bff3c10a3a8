#include "BkAddUt.h"
#include "BkRegUt.h"
#include "BkSearchUt.h"
#include "InExcelDataUt.h"
#include "InMarcDataUt.h"
#include "QkAddUt.h"
#include "QkSearchUt.h"
#include "widgets/ScreenRegistry.h"

// Screens of this folder that the main window's commands open.
void registerCatalogueScreens()
{
    ScreenRegistry& r = ScreenRegistry::instance();
    r.add(Command::AddBook, [](QWidget* parent) { return new TBkAddFm(parent); });
    r.add(Command::ImportBooks, [](QWidget* parent) { return new TInExcelDataFm(parent); });
    r.add(Command::ImportMarc, [](QWidget* parent) { return new TInMarcDataFm(parent); });
    r.add(Command::BookManagement, [](QWidget* parent) { return new TBkSearchFm(parent); });
    r.add(Command::AccessionList, [](QWidget* parent) { return new TBkRegFm(parent); });
    r.add(Command::AddPeriodical, [](QWidget* parent) { return new TQkAddFm(parent); });
    r.add(
        Command::PeriodicalManagement, [](QWidget* parent) { return new TQkSearchFm(parent); },
        false);
}
