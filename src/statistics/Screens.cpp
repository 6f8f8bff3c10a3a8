#include "ShelfInventoryUt.h"
#include "StatisticsScreens.h"
#include "widgets/ScreenRegistry.h"

// Screens of this folder that the main window's commands open.
void registerStatisticsScreens()
{
    ScreenRegistry& r = ScreenRegistry::instance();
    r.add(Command::BookChart, [](QWidget* parent) { return new TBkChartFm(parent); });
    r.add(Command::PeriodicalChart, [](QWidget* parent) { return new TQkChartFm(parent); });
    r.add(Command::ReaderChart, [](QWidget* parent) { return new TRdChartFm(parent); });
    r.add(Command::CategoryStatistics, [](QWidget* parent) { return new TSortSearchFM(parent); });
    r.add(Command::IncomeStatistics, [](QWidget* parent) { return new TShouRuCountFm(parent); });
    r.add(Command::EntryStatistics, [](QWidget* parent) { return new TAdminLuRuStatFm(parent); });
    r.add(Command::Inventory, [](QWidget* parent) { return new TDataCheckFm(parent); });
    r.add(Command::ShelfInventory, [](QWidget* parent) { return new TShelfInventoryFm(parent); });
}
