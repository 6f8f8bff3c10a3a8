#include "BackUpAccessUt.h"
#include "CleandataUt.h"
#include "SysInfoSetUt.h"
#include "widgets/ScreenRegistry.h"

// Screens of this folder that the main window's commands open.
void registerMaintenanceScreens()
{
    ScreenRegistry& registry = ScreenRegistry::instance();
    registry.add(Command::LibrarySettings,
                 [](QWidget* parent) { return new TSysInfoSetFm(parent); });
    registry.add(Command::Backup, [](QWidget* parent) { return new TBackUpAccessFm(parent); });
    registry.add(Command::Initialise, [](QWidget* parent) { return new TCleanDataFm(parent); });
}
