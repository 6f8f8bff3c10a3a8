// The rules of the reader web portal: the catalogue search and item page, the reader's
// password check, his account with what the return desk would charge today, the renewal and
// the reservation under the lending desk's reader check, and the password change. No HTTP
// and no widgets here: the server forwards to this class, the tests drive it directly.
//
// Every figure and every write goes through the desk's own rules (Lending's reader check,
// Returning's rent and fine, Renewal, Reservations); this class only chains them for a
// reader who serves himself.
#pragma once

#include "circulation/Reservations.h"
#include "circulation/Returning.h"
#include "data/Database.h"
#include "data/LoginState.h"
#include "data/Money.h"
#include "data/RuleResult.h"

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <optional>

// Which table an item lives in: the web names them by these codes.
enum class ItemKind
{
    Book,       // 图书
    Periodical, // 期刊
};
QString itemKindCode(ItemKind kind);
std::optional<ItemKind> itemKindFromCode(const QString& code);
QString itemKindTable(ItemKind kind);

struct CatalogueHit
{
    ItemKind kind = ItemKind::Book;
    QString 编号;
    QString 名称;
    QString 作者;
    QString 出版社;
    QString isbn; // ISSN for a periodical
    QString 索书号;
    QString 存放位置;
    int 数量 = 0; // copies on the shelf
};

struct CataloguePage
{
    QList<CatalogueHit> hits;
    int total = 0;     // at most ReaderPortal::kMostCounted
    bool more = false; // more rows hold the text than total counts
    int page = 1;
    int pages = 1;
};

struct CatalogueItem
{
    ItemKind kind = ItemKind::Book;
    QString 编号;
    QString 名称;
    QList<QPair<QString, QString>> fields; // label, value; empty values left out
    int 数量 = 0;
    QString 存放位置;
    QString 状态;
    bool reserved = false; // someone holds a reservation (who is not shown)
};

struct PortalLoan
{
    OpenLoan loan;
    LoanFigures figures;
    Money charge; // what the return desk would take off the balance today
};

struct PortalAccount
{
    QString 读者编号;
    QString 读者姓名;
    QString 类别;
    QString 状态;
    QDate 有效期;
    Money 卡内金额;
    int 累计借阅次数 = 0;
    // The lending desk's refusal for this reader; empty when he may renew and reserve.
    QString blockedReason;
    QList<PortalLoan> loans;
    Money totalCharge;
    QList<ReservedBook> reservations;
    bool reservationsOn = false; // 启用预定功能
    bool rentOn = false;         // 启用租金功能
    bool fineOn = false;         // 启用超期罚金
};

struct HistoryLoan
{
    QString 名称;
    QString 编号;
    QString 类别;
    QDate 借阅日期;
    QDate 归还日期;
    std::optional<Money> 实际租金;
    std::optional<Money> 罚金;
};

struct HistoryPage
{
    QList<HistoryLoan> loans;
    int total = 0;
    int page = 1;
    int pages = 1;
};

namespace PortalText {
inline const QString WrongOldPassword = QStringLiteral("旧密码输入错误！");
inline const QString EmptyPassword = QStringLiteral("新密码不能为空！");
inline const QString Mismatch = QStringLiteral("两次输入的新密码不一致！");
inline const QString PasswordChanged = QStringLiteral("修改成功！");
inline const QString NoReader = QStringLiteral("没有该读者.");
// A renewal from the web adds the loan period of the reader's category to the due date;
// a category of 0 days cannot renew there.
QString renewalNotLater(const QDate& due);
// Renewing a loan that another reader has reserved would keep the book from him.
inline const QString RenewalReserved =
    QStringLiteral("该资料已经被其他读者预定了,不能续借,请按期归还.");
} // namespace PortalText

class ReaderPortal
{
public:
    explicit ReaderPortal(const Database& db) : db_(db) {}

    static constexpr int kPageSize = 20;
    static constexpr int kMaxPage = 100000;
    // The catalogue search counts and pages this many rows at most: a reader narrows a
    // search that finds more, and no request reads further than this.
    static constexpr int kMostCounted = 1000;

    // The library settings of 系统设置, read as the desks read them at login.
    LibrarySettings settings() const;
    QString webNotice() const;

    // Books and periodicals whose title, author, ISBN/ISSN, publisher, category, class number
    // or call number contains text (any part, letter case ignored), found through the text
    // index: books, then periodicals, each in the order ListSearch::anyColumnSource pages
    // them, one page of kPageSize; an empty text finds nothing.
    CataloguePage search(const QString& text, int page) const;
    std::optional<CatalogueItem> item(ItemKind kind, const QString& number) const;

    // Whether the password is the reader's 密码, compared in constant time; an unknown
    // number costs the same comparison. An empty password never matches.
    bool passwordMatches(const QString& readerNumber, const QString& password) const;

    // The reader's own account; nullopt when he is gone.
    std::optional<PortalAccount> account(const QString& readerNumber) const;
    // His returned loans, newest first.
    HistoryPage history(const QString& readerNumber, int page) const;

    // Renews the reader's open loan of the item: the lending desk's reader check, then the
    // desk's renewal with the due date moved on by the category's 借阅天数. Refused while
    // another reader holds an unexpired reservation of the item (启用预定功能 on).
    RuleResult renew(const QString& readerNumber, const QString& itemNumber) const;
    // Reserves a book that is out, after the lending desk's reader check.
    RuleResult reserve(const QString& readerNumber, const QString& bookNumber) const;
    RuleResult cancelReservation(const QString& readerNumber, const QString& bookNumber) const;

    RuleResult changePassword(const QString& readerNumber, const QString& oldPassword,
                              const QString& newPassword, const QString& confirmation) const;

    // Constant-time equality of two byte strings of any length.
    static bool sameBytes(const QByteArray& a, const QByteArray& b);

private:
    // The lending desk's reader check; empty when it passed, else its refusal.
    QString readerRefusal(const QString& readerNumber, const LibrarySettings& settings,
                          int* loanDays = nullptr) const;

    bool reservedByOther(qint64 loanId, const QString& readerNumber) const;

    const Database& db_;
};
