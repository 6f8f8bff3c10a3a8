#include "Returning.h"

#include "data/Clock.h"

#include <QSqlQuery>
#include <QVariant>

namespace {
const QString kNo = QStringLiteral("否");
const QString kLost = QStringLiteral("丢失");

// Only the two item tables may stand in SQL; a loan naming anything else has no item row.
QString itemTable(const QString& name)
{
    if (name == QStringLiteral("图书") || name == QStringLiteral("期刊"))
        return name;
    return {};
}

QString refusal(const QString& field, const QString& what)
{
    return field + QStringLiteral("必须是") + what + QStringLiteral(",没有归还.");
}
} // namespace

Returning::Returning(const Database& db)
    : db_(db), settings_(LoginState::instance().settings),
      operatorName_(LoginState::instance().OperatorName)
{
}

void Returning::reloadLoginState()
{
    settings_ = LoginState::instance().settings;
    operatorName_ = LoginState::instance().OperatorName;
}

QStringList Returning::conditionChoices()
{
    return {QStringLiteral("完好"), QStringLiteral("破损"), QStringLiteral("丢失")};
}

ReturnSearch Returning::search(const QString& itemNumber, const QString& barcode,
                               const QString& readerNumber) const
{
    ReturnSearch s;
    if (itemNumber.isEmpty() && barcode.isEmpty() && readerNumber.isEmpty()) {
        s.refused = true;
        s.message = QStringLiteral("请输入搜索条件!");
        return s;
    }
    QString sql = QStringLiteral("select id, 编号, 名称, 条形码, 读者编号, 读者姓名, 借阅日期, "
                                 "借阅经手人, 类别, 应还日期, 租金 from 借出记录 where 已还 = ?");
    QVariantList values{kNo};
    const std::pair<const char*, const QString*> conditions[] = {
        {" and 编号 = ?", &itemNumber},
        {" and 条形码 = ?", &barcode},
        {" and 读者编号 = ?", &readerNumber},
    };
    for (const auto& [condition, value] : conditions) {
        if (value->isEmpty())
            continue;
        sql += QString::fromUtf8(condition);
        values << *value;
    }
    QSqlQuery q = db_.query(sql + QStringLiteral(" order by id"), values);
    while (q.next()) {
        OpenLoan loan;
        loan.id = q.value(0).toInt();
        loan.编号 = DbValue::toText(q.value(1));
        loan.名称 = DbValue::toText(q.value(2));
        loan.条形码 = DbValue::toText(q.value(3));
        loan.读者编号 = DbValue::toText(q.value(4));
        loan.读者姓名 = DbValue::toText(q.value(5));
        loan.借阅日期 = DbValue::dateOrNull(q.value(6));
        loan.借阅经手人 = DbValue::toText(q.value(7));
        loan.类别 = DbValue::toText(q.value(8));
        loan.应还日期 = DbValue::dateOrNull(q.value(9));
        loan.租金 = Money::fromVariant(q.value(10));
        s.loans << loan;
    }
    return s;
}

int Returning::rentalDays(const QDate& lent, const QDate& today)
{
    const qint64 days = lent.isValid() ? qAbs(lent.daysTo(today)) : 0;
    return days == 0 ? 1 : int(days);
}

int Returning::overdueDays(const QDate& due, const QDate& today)
{
    return due.isValid() ? int(due.daysTo(today)) : 0;
}

Money Returning::fine(int overdueDays, Money finePerDay)
{
    return overdueDays > 0 ? finePerDay * overdueDays : Money();
}

LoanFigures Returning::compute(const OpenLoan& loan) const
{
    // A loan without its dates has no rental days or overdue days to charge.
    if (!loan.借阅日期.isValid() || !loan.应还日期.isValid())
        throw DbError(DbValue::conversionError(QStringLiteral("Date")));
    LoanFigures f;
    const QString table = itemTable(loan.类别);
    if (!table.isEmpty()) {
        QSqlQuery q = db_.query(QStringLiteral("select 存放位置 from %1 where 编号 = ?").arg(table),
                                {loan.编号});
        if (q.next()) {
            f.itemFound = true;
            f.存放位置 = DbValue::toText(q.value(0));
        }
    }
    const QDate today = Clock::today();
    f.实际租期 = rentalDays(loan.借阅日期, today);
    if (loan.租金)
        f.实际租金 = *loan.租金 * f.实际租期;
    f.超期天数 = overdueDays(loan.应还日期, today);
    f.超期罚金 = fine(f.超期天数, settings_.超期每日罚金);
    return f;
}

QString Returning::fineMessage(const LoanFigures& figures) const
{
    if (!settings_.启用超期罚金 || figures.超期罚金.isZero())
        return {};
    return QStringLiteral("超期罚金是:") + figures.fineText() + QStringLiteral(" 元.");
}

ReturnEntry Returning::entryFor(const LoanFigures& figures)
{
    ReturnEntry e;
    e.实际租期 = figures.rentalDaysText();
    e.实际租金 = figures.rentText();
    e.超期罚金 = figures.fineText();
    return e;
}

Money Returning::charge(const LoanFigures& figures) const
{
    Money total;
    if (settings_.启用租金功能)
        total += figures.实际租金.value_or(Money());
    if (settings_.启用超期罚金)
        total += figures.超期罚金;
    return total;
}

ReturnResult Returning::giveBack(const OpenLoan& loan, const ReturnEntry& entry)
{
    ReturnResult r;
    // Every field is converted before anything is written.
    bool daysOk = false;
    const int days = entry.实际租期.trimmed().toInt(&daysOk);
    if (!daysOk) {
        r.messages << refusal(QStringLiteral("实际租期"), QStringLiteral("整数"));
        return r;
    }
    Money charge;
    std::optional<Money> rent;
    if (settings_.启用租金功能) {
        // An empty field is no rent (a loan lent without a per-day rent shows none).
        rent = entry.实际租金.trimmed().isEmpty() ? Money() : Money::parse(entry.实际租金);
        if (!rent) {
            r.messages << refusal(QStringLiteral("实际租金"), QStringLiteral("数字"));
            return r;
        }
        charge += *rent;
    }
    std::optional<Money> fineAmount;
    if (settings_.启用超期罚金) {
        fineAmount = Money::parse(entry.超期罚金);
        if (!fineAmount) {
            r.messages << refusal(QStringLiteral("超期罚金"), QStringLiteral("数字"));
            return r;
        }
        charge += *fineAmount;
    }
    std::optional<Money> compensation;
    if (!entry.赔偿金额.trimmed().isEmpty()) {
        compensation = Money::parse(entry.赔偿金额);
        if (!compensation) {
            r.messages << refusal(QStringLiteral("赔偿金额"), QStringLiteral("数字"));
            return r;
        }
    }
    const auto moneyOrNull = [](const std::optional<Money>& m) {
        return m ? QVariant::fromValue(*m) : QVariant();
    };

    const QString table = itemTable(loan.类别);
    bool alreadyReturned = false;
    try {
        db_.transaction(
            [&] {
                QString sql =
                    QStringLiteral("update 借出记录 set 已还 = ?, 归还日期 = ?, 归还经手人 = ?, "
                                   "实际租期 = ?, 物品状况 = ?, 赔偿金额 = ?, 归还备注 = ?");
                QVariantList values{
                    QStringLiteral("是"),      Clock::today(), operatorName_, days, entry.物品状况,
                    moneyOrNull(compensation), entry.归还备注};
                if (rent) {
                    sql += QStringLiteral(", 实际租金 = ?");
                    values << QVariant::fromValue(*rent);
                }
                if (fineAmount) {
                    sql += QStringLiteral(", 罚金 = ?");
                    values << QVariant::fromValue(*fineAmount);
                }
                values << loan.id << kNo;
                if (db_.execute(sql + QStringLiteral(" where id = ? and 已还 = ?"), values) != 1) {
                    alreadyReturned = true;
                    return; // nothing was changed; the empty transaction commits
                }
                // Rows are locked loan, reader, item: the order the lending commit keeps too
                // (reader, then items), so that two desks never wait on each other in a circle.
                QString readerSql = QStringLiteral("update 读者库 set 未还数量 = 未还数量 - 1");
                QVariantList readerValues;
                if (rent || fineAmount) {
                    readerSql += QStringLiteral(", 卡内金额 = coalesce(卡内金额, 0) - ?");
                    readerValues << QVariant::fromValue(charge);
                }
                readerValues << loan.读者编号;
                r.readerMissing = db_.execute(readerSql + QStringLiteral(" where 读者编号 = ?"),
                                              readerValues) == 0;
                if (table.isEmpty()) {
                    r.itemMissing = true;
                } else if (entry.物品状况 != kLost) {
                    r.itemMissing = db_.execute(QStringLiteral("update %1 set 数量 = 数量 + 1 "
                                                               "where 编号 = ?")
                                                    .arg(table),
                                                {loan.编号}) == 0;
                } else {
                    r.itemMissing =
                        db_.scalar(
                               QStringLiteral("select count(*) from %1 where 编号 = ?").arg(table),
                               {loan.编号})
                            .toInt() == 0;
                }
            },
            [&] {
                // The connection broke during the COMMIT: the loan closed by this desk tells.
                return !alreadyReturned &&
                       db_.scalar(QStringLiteral("select 已还 from 借出记录 where id = ?"),
                                  {loan.id})
                               .toString() == QStringLiteral("是");
            });
    } catch (const DbError& e) {
        r.status = ReturnResult::Refused;
        r.itemMissing = r.readerMissing = false;
        r.messages = QStringList{e.message()};
        return r;
    }
    if (alreadyReturned) {
        r.status = ReturnResult::AlreadyReturned;
        r.messages << QStringLiteral("该借阅记录已经归还过了(可能由另一个服务台归还),"
                                     "本次没有写入任何数据.");
        return r;
    }
    r.status = ReturnResult::Returned;
    r.messages << QStringLiteral("归还完毕!");
    if (r.itemMissing)
        r.messages << QStringLiteral("注意:") + (table.isEmpty() ? loan.类别 : table) +
                          QStringLiteral("中已经没有编号为 ") + loan.编号 +
                          QStringLiteral(" 的记录,库存没有增加.");
    if (r.readerMissing)
        r.messages << QStringLiteral("注意:读者库中已经没有编号为 ") + loan.读者编号 +
                          QStringLiteral(" 的读者,未还数量和卡内金额没有修改.");
    return r;
}

QString Returning::initialFocus(const Database& db)
{
    QSqlQuery q = db.query(QStringLiteral("select 归还焦点图书编号, 归还焦点条形码, "
                                          "归还焦点读者编号 from 系统设置"));
    QString focus;
    if (q.next()) {
        if (DbValue::toBool(q.value(0)))
            focus = QStringLiteral("图书编号");
        if (DbValue::toBool(q.value(1)))
            focus = QStringLiteral("条形码");
        if (DbValue::toBool(q.value(2)))
            focus = QStringLiteral("读者编号");
    }
    return focus;
}
