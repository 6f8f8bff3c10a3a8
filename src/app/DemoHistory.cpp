#include "DemoHistory.h"

#include "LoginRules.h"
#include "circulation/Lending.h"
#include "circulation/Renewal.h"
#include "circulation/Returning.h"
#include "data/Clock.h"
#include "readers/ReaderAccount.h"
#include "readers/ReaderRules.h"

#include <QMultiMap>
#include <random>

namespace {
constexpr int kReaders = 20;    // R0001 … R0020 of the demo library; the last four are teachers
constexpr int kBooks = 49;      // B0001 … B0049 (B0050 is not lent out)
constexpr int kFirstTopUp = 20; // yuan on each new card
constexpr int kLowBalance = 5;  // a reader tops up again below this
constexpr int kTopUp = 30;

QString readerNumber(int i)
{
    return QStringLiteral("R%1").arg(i + 1, 4, 10, QLatin1Char('0'));
}

QString bookNumber(int i)
{
    return QStringLiteral("B%1").arg(i + 1, 4, 10, QLatin1Char('0'));
}

// What will happen later to one loan.
struct LoanPlan
{
    QString reader;
    QString item;
    int loanDays = 0;
    bool damaged = false;
};

class HistoryBuilder
{
public:
    explicit HistoryBuilder(const Database& db) : db_(db), accounts_(db, state_)
    {
        state_.OperatorName = QString::fromUtf8(kSuperAdministrator);
    }

    void run()
    {
        const QDate today = Clock::today();
        const QDate first = today.addDays(-DemoHistory::kDays);
        prepare(first);
        for (QDate day = first; day <= today; day = day.addDays(1)) {
            at(day, 9);
            if (const int sinceFirst = int(first.daysTo(day)); sinceFirst < kReaders)
                register_(sinceFirst);
            at(day, 10);
            returnLoansOf(day);
            renewLoansOf(day);
            if (day == first.addDays(60))
                changeStatus(7, ReaderText::Suspended, QStringLiteral("借书证遗失,暂停借阅"));
            if (day == first.addDays(75))
                changeStatus(7, ReaderText::Active, QStringLiteral("找回借书证"));
            if (day.dayOfWeek() != Qt::Sunday && day < today) {
                const int desks = pick(3);
                for (int k = 0; k < desks; ++k) {
                    at(day, 11 + 2 * k);
                    lend(day);
                }
            }
        }
        at(today, 8);
        reserve(today);
    }

private:
    int pick(int n) { return int(rng_() % unsigned(n)); }

    void at(const QDate& day, int hour) { Clock::setNow(QDateTime(day, QTime(hour, pick(60)))); }

    static void check(const ReaderResult& r)
    {
        if (!r.ok)
            throw DbError(r.message);
    }

    // The desk charges rent by reader category; readers and books arrived before the
    // history starts, each card without money until its first top-up.
    void prepare(const QDate& first)
    {
        db_.execute(QStringLiteral("update 系统设置 set 启用租金功能 = ?, 启用读者租金 = ?"),
                    {true, true});
        LoginRules(db_, state_).readLibrarySettings();
        db_.execute(QStringLiteral("update 读者库 set 卡内金额 = ?"),
                    {QVariant::fromValue(Money())});
        for (int i = 0; i < kBooks + 1; ++i)
            db_.execute(QStringLiteral("update 图书 set 入库时间 = ? where 编号 = ?"),
                        {first.addDays(-90 + i), bookNumber(i)});
        db_.execute(QStringLiteral("update 期刊 set 入库时间 = ?"), {first.addDays(-5)});
    }

    // One reader a day registers over the first weeks and buys credit on the card.
    void register_(int i)
    {
        db_.execute(QStringLiteral("update 读者库 set 登记日期 = ? where 读者编号 = ?"),
                    {Clock::now(), readerNumber(i)});
        topUp(i, kFirstTopUp, QStringLiteral("办证充值"));
        registered_ = i + 1;
    }

    void topUp(int i, int yuan, const QString& remark)
    {
        check(accounts_.topUp(readerNumber(i), readerName(readerNumber(i)), QString::number(yuan),
                              false, remark));
    }

    QString readerName(const QString& number) const
    {
        return DbValue::toText(
            db_.scalar(QStringLiteral("select 读者姓名 from 读者库 where 读者编号 = ?"), {number}));
    }

    void changeStatus(int i, const QString& status, const QString& remark)
    {
        const QString number = readerNumber(i);
        check(accounts_.changeStatus(number, readerName(number), status, remark));
    }

    // A reader comes to the desk with one to three books; most come back in time, some late,
    // a few not yet, and some are renewed once.
    void lend(const QDate& day)
    {
        if (registered_ == 0)
            return;
        const int reader = pick(registered_);
        Lending lending(db_);
        lending.settings() = state_.settings;
        lending.setOperatorName(state_.OperatorName);
        if (!lending.RdSearch(readerNumber(reader)).passed)
            return; // a suspended reader is turned away
        const int room = lending.category()->借阅数量限制 - lending.reader()->未还数量;
        const int days = lending.category()->借阅天数;
        const int wanted = std::min(1 + pick(3), room);
        QStringList items;
        for (int tries = 0; items.size() < wanted && tries < 6; ++tries) {
            const QString item = bookNumber(pick(kBooks));
            if (items.contains(item) || onLoan(readerNumber(reader), item))
                continue;
            if (lending.bksearch(item).added)
                items << item;
        }
        if (items.isEmpty())
            return;
        const CommitResult c = lending.commit();
        if (!c.done)
            throw DbError(c.message);

        for (const QString& item : std::as_const(items)) {
            LoanPlan plan{readerNumber(reader), item, days, pick(25) == 0};
            const int fate = pick(100);
            QDate back;
            if (fate < 62) {
                back = day.addDays(2 + pick(days - 2));
            } else if (fate < 80) {
                back = day.addDays(days + 1 + pick(12)); // late: a fine
            } else if (fate < 94) {
                renewals_.insert(day.addDays(days - 1 - pick(2)), plan);
                back = day.addDays(days + 3 + pick(days - 4));
            } else {
                continue; // still out
            }
            returns_.insert(back, plan);
        }
    }

    bool onLoan(const QString& reader, const QString& item) const
    {
        return db_.scalar(QStringLiteral("select count(*) from 借出记录 where 读者编号 = ? and "
                                         "编号 = ? and 已还 = ?"),
                          {reader, item, QStringLiteral("否")})
                   .toInt() > 0;
    }

    void returnLoansOf(const QDate& day)
    {
        for (const LoanPlan& plan : returns_.values(day)) {
            Returning returning(db_);
            returning.settings() = state_.settings;
            returning.setOperatorName(state_.OperatorName);
            const ReturnSearch found = returning.search(plan.item, {}, plan.reader);
            if (found.loans.isEmpty())
                continue;
            const OpenLoan& loan = found.loans.first();
            ReturnEntry entry = Returning::entryFor(returning.compute(loan));
            if (plan.damaged) {
                entry.物品状况 = QStringLiteral("破损");
                entry.归还备注 = QStringLiteral("封面撕破");
            }
            const ReturnResult r = returning.giveBack(loan, entry);
            if (r.status != ReturnResult::Returned)
                throw DbError(r.messages.join(QLatin1Char('\n')));
            const std::optional<Money> balance = accounts_.balance(plan.reader);
            if (balance && *balance < Money::fromYuan(kLowBalance))
                topUp(plan.reader.mid(1).toInt() - 1, kTopUp, {});
        }
    }

    void renewLoansOf(const QDate& day)
    {
        for (const LoanPlan& plan : renewals_.values(day)) {
            Renewal renewal(db_);
            if (renewal.find(plan.reader, plan.item))
                renewal.renew(renewal.loan()->应还日期.addDays(plan.loanDays));
        }
    }

    // Reservations come from outside the desk (the shared database); three books on the
    // shelf are held for readers until the end of the week.
    void reserve(const QDate& today)
    {
        QSqlQuery q = db_.query(QStringLiteral("select 编号 from 图书 where 数量 > 0 and 状态 = ? "
                                               "order by 编号"),
                                {QStringLiteral("正常")});
        QStringList free;
        while (q.next())
            free << DbValue::toText(q.value(0));
        for (int k = 0; k < 3 && k < free.size(); ++k)
            db_.execute(QStringLiteral("update 图书 set 预定状况 = ?, 预定到期时间 = ? "
                                       "where 编号 = ?"),
                        {readerNumber(2 + 5 * k), QDateTime(today.addDays(3 + k), QTime(18, 0)),
                         free[free.size() - 1 - 7 * k]});
    }

    const Database& db_;
    LoginState state_;
    ReaderAccount accounts_;
    std::minstd_rand rng_{20260311};
    int registered_ = 0;
    QMultiMap<QDate, LoanPlan> returns_;
    QMultiMap<QDate, LoanPlan> renewals_;
};
} // namespace

void DemoHistory::add(const Database& db)
{
    const QDateTime clockBefore = Clock::fixed();
    try {
        HistoryBuilder(db).run();
    } catch (...) {
        Clock::setNow(clockBefore);
        throw;
    }
    Clock::setNow(clockBefore);
}
