// The rules of the lending desk: the reader check (RdSearch), the item check (bksearch) that
// fills the lending list, the rent rule, and the commit that lends every listed item in one
// transaction. No widgets: the lending screen and the pickers forward to this class, and the
// tests drive it directly against a database.
//
// Typical use by a screen:
//     Lending lending;                       // shared connection, settings from LoginState
//     lending.setKey(Lending::initialKey()); // 编号 or 条形码 from 系统设置
//     ReaderCheck r = lending.RdSearch(readerNumberText);
//     ItemCheck i = lending.bksearch(itemText);
//     CommitResult c = lending.commit(printTicked);
#pragma once

#include "data/Database.h"
#include "data/LoginState.h"
#include "data/Money.h"

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

// The reader row values the lending screen displays.
struct LendingReader
{
    QString 读者编号;
    QString 读者姓名;
    QString 性别;
    QString 类别;
    QString 状态;
    int 未还数量 = 0;
    int 累计借阅次数 = 0;
    Money 卡内金额;
    QDate 有效期; // invalid when the row holds none
};

// The values taken from the reader's 读者类别 row.
struct LendingCategory
{
    int 借阅数量限制 = 0;
    int 借阅天数 = 0;
    Money 租金; // the category rent (per day)
};

// The current item (the last one looked up), as displayed.
struct LendingItem
{
    QString table; // "图书" or "期刊"
    QString 编号;
    QString 名称;
    QString 条形码;
    QString 分类;
    int 数量 = 0;
    QString 存放位置;
    QString 出版社;
    Money 价格;
    QString 状态;
    QString 预定状况;      // empty when not reserved
    QString 物品级别;      // empty when none
    bool hasLevel = false; // 物品级别 is not NULL
    Money levelRent;       // 物品级别.租金, 0 when no level or level row missing
};

// One row of the lending list.
struct LendingListRow
{
    QString 编号;
    QString 条形码;
    QString 名称;
    QString 类别; // the table the item came from: "图书" or "期刊"
    int 天数 = 0; // the category's 借阅天数 when the row was added
    Money 租金;   // per-day rent by the rent rule
    QString 物品级别;
};

struct ReaderCheck
{
    bool passed = false;
    QString message;               // the refusal text (empty when passed)
    bool readerShown = false;      // the reader row stays displayed (expired, category missing)
    bool selectReaderText = false; // select the whole reader number text (no such reader)
    std::optional<LendingReader> reader;
    std::optional<LendingCategory> category; // set only when passed
};

struct ItemCheck
{
    bool added = false;              // a row joined the list
    QString message;                 // refusal, or the count warning when added
    bool warning = false;            // message is the "超过借阅数量" warning (row added)
    bool selectItemText = false;     // select the whole item text (next scan replaces it)
    std::optional<LendingItem> item; // the item found (shown even when refused)
};

struct CommitResult
{
    bool done = false;    // every listed item is lent; the screen shows message and resets
    bool nothing = false; // empty list: nothing shown, nothing written
    QString message;      // "借阅完毕!" or the refusal / database error text
    int lent = 0;
    // After a loan: the receipt printer's port did not take the receipt in time. The loan
    // stays committed; the screen shows this after "借阅完毕!".
    QString receiptError;
};

class Lending
{
public:
    // Settings and operator name are copied from LoginState::instance(); tests may change
    // them through settings() / setOperatorName() afterwards.
    explicit Lending(const Database& db = Database::shared());

    // Copies settings and operator name from LoginState again (a screen does this each time
    // it opens).
    void reloadLoginState();

    LibrarySettings& settings() { return settings_; }
    const LibrarySettings& settings() const { return settings_; }
    void setOperatorName(const QString& name) { operatorName_ = name; }
    // Receipt port after a commit: LoginState's PosPort as it is when the receipt prints, so
    // a port applied in the printer settings reaches an open lending screen; a port set here
    // overrides it. The receipt names the library by settings().图书馆名 and the operator by
    // the operator name.
    void setPrinterPort(const QString& port) { printerPort_ = port; }
    QString printerPort() const;

    // Table of the item check: "图书" (default) or "期刊"; key column "编号" (default) or
    // "条形码". Other names are ignored (only the schema's own names reach SQL).
    void setTable(const QString& table);
    void setKey(const QString& key);
    QString table() const { return table_; }
    QString key() const { return key_; }
    // The key the screen starts with: 借阅焦点编号 → "编号", then 借阅焦点条形码 → "条形码"
    // (the later wins), "编号" when neither is set. Reads 系统设置.
    static QString initialKey(const Database& db = Database::shared());

    // The rent rule: the per-day rent of a list row.
    static Money rentRule(const LibrarySettings& settings, Money categoryRent, Money levelRent);

    // Reader check for a reader number. Runs every step in order, stops at the first
    // failure. Only a passed check lets items be checked and lent.
    ReaderCheck RdSearch(const QString& readerNumber);
    // Item check for a number or barcode (by the current key) in the current table; appends
    // a list row when every check passes.
    ItemCheck bksearch(const QString& itemText);

    // The reader currently shown and whether it passed every step of the reader check.
    const std::optional<LendingReader>& reader() const { return reader_; }
    const std::optional<LendingCategory>& category() const { return category_; }
    bool readerPassed() const { return readerPassed_; }
    const std::optional<LendingItem>& currentItem() const { return item_; }

    const QList<LendingListRow>& list() const { return list_; }
    // The Yes/No question before removing a row: 您是否要删除" 编号","名称"
    QString removeQuestion(int row) const;
    bool removeRow(int row);

    // Empties the list and forgets reader, category and current item.
    void CleanData();

    // Lends every listed item to the reader shown, in one transaction: loan rows, reader
    // counters, item stock (refused when no copy is left), 借出次数, reservation cleared.
    // On success the state is reset and, with printReceipt, the receipt is written to the
    // printer port (failures there are silent). On failure nothing is written and the list
    // stays so the operator can retry.
    CommitResult commit(bool printReceipt = false);

    // Messages.
    static QString noReaderText();
    static QString noItemText(const QString& table);

private:
    const Database& db_;
    LibrarySettings settings_;
    QString operatorName_;
    std::optional<QString> printerPort_;
    QString table_;
    QString key_;
    std::optional<LendingReader> reader_;
    std::optional<LendingCategory> category_;
    bool readerPassed_ = false;
    std::optional<LendingItem> item_;
    QList<LendingListRow> list_;
};
