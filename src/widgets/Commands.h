// The names of the main window's commands, one per screen it opens. Kept apart from the
// screen registry so that rules classes can name commands without the widget headers.
#pragma once

#include <QString>

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
// Opened from the accession list, not from the main window.
inline const QString EntryStatistics = QStringLiteral("entryStatistics");
inline const QString BookChart = QStringLiteral("bookChart");
inline const QString PeriodicalChart = QStringLiteral("periodicalChart");
inline const QString ReaderChart = QStringLiteral("readerChart");
inline const QString IncomeStatistics = QStringLiteral("incomeStatistics");
inline const QString Inventory = QStringLiteral("inventory");
inline const QString ShelfInventory = QStringLiteral("shelfInventory"); // 扫描盘点
inline const QString Reservations = QStringLiteral("reservations");
inline const QString PosPrinter = QStringLiteral("posPrinter");
inline const QString ImportBooks = QStringLiteral("importBooks");
inline const QString ImportReaders = QStringLiteral("importReaders");
inline const QString ImportMarc = QStringLiteral("importMarc"); // MARC数据导入
} // namespace Command
