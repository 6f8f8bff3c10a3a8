// The rules of the returning desk: the search for open loans, the computed rental days,
// rent, overdue days and fine, and the return itself in one transaction. No widgets: the
// returning screen forwards to this class, and the tests drive it directly.
//
// Money is Money throughout; the days come from Clock::today().
#pragma once

#include "data/Database.h"
#include "data/LoginState.h"
#include "data/Money.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One open loan row of 借出记录 as the grid and "当前记录" show it.
struct OpenLoan
{
    int id = 0;
    QString 编号;
    QString 名称;
    QString 条形码;
    QString 读者编号;
    QString 读者姓名;
    QDate 借阅日期;
    QString 借阅经手人;
    QString 类别; // "图书" or "期刊": the table holding the item
    QDate 应还日期;
    std::optional<Money> 租金; // per-day rent fixed at lending; nullopt when empty
};

// What the screen computes for the current loan.
struct LoanFigures
{
    QString 存放位置; // of the item row; empty when the row is missing
    bool itemFound = false;
    int 实际租期 = 1;              // whole days on loan, at least 1
    std::optional<Money> 实际租金; // 实际租期 × 租金; nullopt when the loan's 租金 is empty
    int 超期天数 = 0;              // today − 应还日期; zero or negative when not overdue
    Money 超期罚金;                // 超期天数 × 超期每日罚金 when overdue, else 0

    // The texts of the four computed fields.
    QString rentalDaysText() const { return QString::number(实际租期); }
    QString rentText() const { return 实际租金 ? 实际租金->toString() : QString(); }
    QString overdueDaysText() const { return QString::number(超期天数); }
    QString fineText() const { return 超期罚金.toString(); }
};

// What the operator has in the fields when pressing "归还".
struct ReturnEntry
{
    QString 实际租期; // must be an integer
    QString 实际租金; // must be an amount when rent is on; empty counts as 0
    QString 超期罚金; // must be an amount when fines are on
    QString 物品状况 = QStringLiteral("完好");
    QString 赔偿金额; // empty = none; otherwise an amount
    QString 归还备注;
};

struct ReturnSearch
{
    bool refused = false; // all three fields empty
    QString message;      // "请输入搜索条件!"
    QList<OpenLoan> loans;
};

struct ReturnResult
{
    enum Status
    {
        Returned,        // the loan is closed (messages may tell of missing rows)
        AlreadyReturned, // another desk returned it first; nothing written
        Refused,         // a field is not a number, or a database error; nothing written
    };
    Status status = Refused;
    QStringList messages; // shown in order ("归还完毕!" first when returned)
    bool itemMissing = false;
    bool readerMissing = false;
};

class Returning
{
public:
    // Settings and operator name are copied from LoginState::instance().
    explicit Returning(const Database& db = Database::shared());

    // Copies settings and operator name from LoginState again (each time a screen opens).
    void reloadLoginState();

    LibrarySettings& settings() { return settings_; }
    const LibrarySettings& settings() const { return settings_; }
    void setOperatorName(const QString& name) { operatorName_ = name; }

    // Open loans matching every non-empty field ("and" combined).
    ReturnSearch search(const QString& itemNumber, const QString& barcode,
                        const QString& readerNumber) const;

    // Whole days between lending and today (absolute), 1 when 0.
    static int rentalDays(const QDate& lent, const QDate& today);
    // today − due in days (0 when due is missing).
    static int overdueDays(const QDate& due, const QDate& today);
    // days × per-day fine when days > 0, else 0.
    static Money fine(int overdueDays, Money finePerDay);

    // The computed fields for a loan at Clock::today(); reads the item's 存放位置. A loan
    // whose 借阅日期 or 应还日期 is empty throws the conversion error.
    LoanFigures compute(const OpenLoan& loan) const;
    // What the return would take off 卡内金额 today for these figures: the rent when
    // 启用租金功能 is on, the fine when 启用超期罚金 is on (the reader portal shows it).
    Money charge(const LoanFigures& figures) const;
    // "超期罚金是:" + fine + " 元." when fines are on and the fine is not 0; else empty.
    QString fineMessage(const LoanFigures& figures) const;

    // Entry prefilled from the computed figures (物品状况 "完好").
    static ReturnEntry entryFor(const LoanFigures& figures);

    // Closes the loan in one transaction: the loan row (only while still open), the stock
    // (+1 unless 物品状况 is "丢失"), the reader's 未还数量 and, each when switched on, rent
    // and fine off 卡内金额. A vanished item or reader row does not stop the return; the
    // result tells which row was missing.
    ReturnResult giveBack(const OpenLoan& loan, const ReturnEntry& entry);

    // The search field the screen starts in: "图书编号", "条形码", "读者编号" (the last true
    // of 归还焦点图书编号, 归还焦点条形码, 归还焦点读者编号) or empty. Reads 系统设置.
    static QString initialFocus(const Database& db = Database::shared());

    static QStringList conditionChoices(); // "完好", "破损", "丢失"

private:
    const Database& db_;
    LibrarySettings settings_;
    QString operatorName_;
};
