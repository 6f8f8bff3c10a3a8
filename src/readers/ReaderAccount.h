// The rules of the reader management screen and the two screens it opens on one reader:
// the guarded delete, the status change with its administrator log row, the top-up (or
// refund) with its income row, and the library cards. Each change is one transaction and
// returns its outcome with the text to show; nothing here shows a message itself.
#pragma once

#include "data/Database.h"
#include "data/ListSearch.h"
#include "data/LoginState.h"
#include "data/Money.h"
#include "report/Report.h"

#include <QString>
#include <optional>

struct ReaderResult
{
    bool ok = false;
    QString message; // the text to show: the refusal, the database's text or the success
};

namespace ReaderText {
inline const QString ZeroTopUp = QStringLiteral("不能充0元!");
inline const QString TopUpDone = QStringLiteral("充值成功!");
inline const QString TopUpItem = QStringLiteral("充值");
inline const QString Suspended = QStringLiteral("停用");
QString deleteQuestion(const QString& name);
QString hasOpenLoans(const QString& number, int loans);
} // namespace ReaderText

class ReaderAccount
{
public:
    explicit ReaderAccount(const Database& db = Database::shared(),
                           const LoginState& state = LoginState::instance());

    // The list screen's description of 读者库: columns searched, shown, counted and printed.
    static ListDescription listDescription();

    // The amount of the top-up screen's field: digits with at most one decimal point and at
    // most four decimals, not zero; nullopt for anything else (the field counts as 0).
    static std::optional<Money> topUpAmount(const QString& typed);

    // Deletes the reader with this number unless he still has open loans; the check and the
    // delete are one statement.
    ReaderResult remove(const QString& number) const;

    // Writes the status and its administrator log row in one transaction.
    ReaderResult changeStatus(const QString& number, const QString& name, const QString& status,
                              const QString& remark) const;

    // Adds the amount (taken as negative when refund) to the balance as the database holds
    // it and writes the 收入 row, in one transaction. The message is "充值成功!" when done.
    ReaderResult topUp(const QString& number, const QString& name, const QString& typedAmount,
                       bool refund, const QString& remark) const;

    // The balance as stored now; nullopt when the reader is gone. Throws DbError.
    std::optional<Money> balance(const QString& number) const;

    // One library card per reader: the library name (Memo1), the Code 39 barcode of
    // 读者编号, "姓名:" with 读者姓名, 类别, and the back text of the library settings.
    static Report libraryCards(const QString& libraryName, const QString& backText);
    // The back text of the cards (系统设置.借阅证背面文字); empty when none. Throws DbError.
    QString cardBackText() const;

private:
    const Database& db_;
    const LoginState& state_;
};
