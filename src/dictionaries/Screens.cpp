#include "DictionaryUt.h"
#include "widgets/ScreenRegistry.h"

namespace {
template <class Form> void add(const QString& command)
{
    ScreenRegistry::instance().add(command, [](QWidget* parent) { return new Form(parent); });
}
} // namespace

// Screens of this folder that the main window's commands open.
void registerDictionaryScreens()
{
    add<TRdKindFm>(Command::ReaderCategories);
    add<TRentLevelFm>(Command::ItemLevels);
    add<TBkKindFm>(Command::Categories);
    add<TBk2KindFm>(Command::SecondCategories);
    add<TPubFm>(Command::Publishers);
    add<TDepartMentFm>(Command::Departments);
    add<TPlaceFm>(Command::Places);
    add<TPaperFm>(Command::Papers);
    add<TSecretLevelFm>(Command::SecretLevels);
    add<TMoneyKindFm>(Command::Currencies);
}
