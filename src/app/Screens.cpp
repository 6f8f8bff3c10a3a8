#include "AdminLogUt.h"
#include "AdminUt.h"
#include "ChangePwdUt.h"
#include "SetDataUt.h"
#include "widgets/ScreenRegistry.h"

// Screens of this folder that the main window's commands open.
void registerAppScreens()
{
    ScreenRegistry& registry = ScreenRegistry::instance();
    registry.add(Command::DatabaseSettings, [](QWidget* parent) { return new TSetDataFm(parent); });
    registry.add(Command::AdminAccounts, [](QWidget* parent) { return new TAdminFm(parent); });
    registry.add(Command::ChangePassword, [](QWidget* parent) { return new TChangePwdFm(parent); });
    registry.add(Command::AdminLog, [](QWidget* parent) { return new TAdminLogFm(parent); });
}
