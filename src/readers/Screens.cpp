#include "InExcelRdUt.h"
#include "RdAddUt.h"
#include "RdSearchUt.h"
#include "widgets/ScreenRegistry.h"

// Screens of this folder that the main window's commands open.
void registerReaderScreens()
{
    ScreenRegistry::instance().add(Command::AddReader,
                                   [](QWidget* parent) { return new TRdAddFm(parent); });
    ScreenRegistry::instance().add(Command::ImportReaders,
                                   [](QWidget* parent) { return new TInExcelRdFm(parent); });
    ScreenRegistry::instance().add(Command::ReaderManagement,
                                   [](QWidget* parent) { return new TRdSearchFm(parent); });
}
