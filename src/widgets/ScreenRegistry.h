// The screens the main window's commands open. Each source folder registers the screens it
// has built (registerXxxScreens in its Screens.cpp); a command without a registered screen
// stays disabled. Each screen exists at most once: opening it again brings it forward.
#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

namespace Command {
inline const QString Borrow = QStringLiteral("borrow"); // 借阅 (modal)
inline const QString Return = QStringLiteral("return"); // 归还 (modeless)
inline const QString Renew = QStringLiteral("renew");   // 续借
inline const QString AddBook = QStringLiteral("addBook");
inline const QString AddReader = QStringLiteral("addReader");
inline const QString AddPeriodical = QStringLiteral("addPeriodical");
inline const QString ChangePassword = QStringLiteral("changePassword");
inline const QString BookManagement = QStringLiteral("bookManagement");
inline const QString ReaderManagement = QStringLiteral("readerManagement");
inline const QString PeriodicalManagement = QStringLiteral("periodicalManagement"); // modeless
inline const QString AdminLog = QStringLiteral("adminLog");
inline const QString AdminAccounts = QStringLiteral("adminAccounts");
inline const QString LibrarySettings = QStringLiteral("librarySettings");
inline const QString Initialise = QStringLiteral("initialise");
inline const QString Backup = QStringLiteral("backup");
inline const QString DatabaseSettings = QStringLiteral("databaseSettings");
inline const QString ReaderCategories = QStringLiteral("dict.readerCategories");
inline const QString ItemLevels = QStringLiteral("dict.itemLevels");
inline const QString Categories = QStringLiteral("dict.categories");
inline const QString SecondCategories = QStringLiteral("dict.secondCategories");
inline const QString Publishers = QStringLiteral("dict.publishers");
inline const QString Departments = QStringLiteral("dict.departments");
inline const QString Places = QStringLiteral("dict.places");
inline const QString Papers = QStringLiteral("dict.papers");
inline const QString SecretLevels = QStringLiteral("dict.secretLevels");
inline const QString Currencies = QStringLiteral("dict.currencies");
inline const QString LoanSearch = QStringLiteral("loanSearch");
inline const QString OverdueLoans = QStringLiteral("overdueLoans");
inline const QString CategoryStatistics = QStringLiteral("categoryStatistics");
inline const QString AccessionList = QStringLiteral("accessionList");
inline const QString BookChart = QStringLiteral("bookChart");
inline const QString PeriodicalChart = QStringLiteral("periodicalChart");
inline const QString ReaderChart = QStringLiteral("readerChart");
inline const QString IncomeStatistics = QStringLiteral("incomeStatistics");
inline const QString Inventory = QStringLiteral("inventory");
inline const QString Reservations = QStringLiteral("reservations");
inline const QString PosPrinter = QStringLiteral("posPrinter");
inline const QString ImportBooks = QStringLiteral("importBooks");
inline const QString ImportReaders = QStringLiteral("importReaders");
} // namespace Command

class ScreenRegistry
{
public:
    using Factory = std::function<QWidget*(QWidget* parent)>;

    static ScreenRegistry& instance();

    // modal: the screen blocks the rest of the application while it is open.
    void add(const QString& command, Factory factory, bool modal = true);
    bool has(const QString& command) const { return entries_.contains(command); }

    // Shows the command's screen, creating it when none is open; returns it (nullptr when
    // the command has no screen). Screens free themselves when closed.
    QWidget* open(const QString& command, QWidget* parent);
    // The open screen of the command, if any.
    QWidget* existing(const QString& command) const;

private:
    struct Entry
    {
        Factory factory;
        bool modal = true;
        QPointer<QWidget> screen;
    };
    QHash<QString, Entry> entries_;
};

// Registration functions, one per folder (each in that folder's Screens.cpp).
void registerAppScreens();
void registerCirculationScreens();
void registerCatalogueScreens();
void registerReaderScreens();
void registerDictionaryScreens();
void registerStatisticsScreens();
void registerMaintenanceScreens();
