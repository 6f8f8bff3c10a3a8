#include "Renewal.h"

#include "data/TextHelpers.h"

bool Renewal::find(const QString& readerNumber, const QString& itemNumber)
{
    loan_.reset();
    QSqlQuery q = db_.query(
        db_.limited(QStringLiteral("select id, 读者编号, 读者姓名, 编号, 名称, 借阅日期, 应还日期 "
                                   "from 借出记录 where 读者编号 = ? and 编号 = ? and 已还 = ? "
                                   "order by id"),
                    1),
        {readerNumber, itemNumber, QStringLiteral("否")});
    if (!q.next())
        return false;
    RenewalLoan loan;
    loan.id = q.value(0).toLongLong();
    loan.读者编号 = DbValue::toText(q.value(1));
    loan.读者姓名 = DbValue::toText(q.value(2));
    loan.编号 = DbValue::toText(q.value(3));
    loan.名称 = DbValue::toText(q.value(4));
    loan.借阅日期 = DbValue::dateOrNull(q.value(5));
    // The date picker starts at the loan's own due date; a loan without one cannot be
    // renewed (the conversion error), so no earlier loan's date is ever written into it.
    loan.应还日期 = DbValue::toDate(q.value(6));
    loan_ = loan;
    return true;
}

bool Renewal::renew(const QDate& newDueDate)
{
    if (!loan_)
        return false;
    const qint64 id = loan_->id;
    loan_.reset();
    db_.transaction(
        [&] {
            const int changed = db_.execute(
                QStringLiteral("update 借出记录 set 应还日期 = ? where id = ? and 已还 = ?"),
                {newDueDate, id, QStringLiteral("否")});
            if (changed != 1)
                throw DbError(loanGoneMessage());
        },
        [&] {
            return DbValue::dateOrNull(db_.scalar(
                       QStringLiteral("select 应还日期 from 借出记录 where id = ?"), {id})) ==
                   newDueDate;
        });
    return true;
}

QString Renewal::searchStatementText(const QString& readerNumber, const QString& itemNumber)
{
    const QString s = StringDelimiter();
    return QStringLiteral("select * from 借出记录 where 读者编号=") + s + readerNumber + s +
           QStringLiteral(" and 编号=") + s + itemNumber + s + QStringLiteral(" and 已还=") + s +
           QStringLiteral("否") + s;
}

QString Renewal::notFoundMessage()
{
    return QStringLiteral("没有找到该借阅记录,请检查您输入的信息是否正确!");
}

QString Renewal::doneMessage()
{
    return QStringLiteral("续借完毕!");
}

QString Renewal::loanGoneMessage()
{
    return QStringLiteral("该借阅记录已经归还或不存在,续借没有保存.");
}
