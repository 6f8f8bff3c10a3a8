#include "ReaderAccount.h"

#include "ReaderRules.h"
#include "data/AdminLog.h"
#include "data/Clock.h"

#include <QRegularExpression>

namespace {

const QString kOpen = QStringLiteral("否");

// A refusal raised inside a transaction so that everything before it is rolled back.
struct Refusal
{
    QString message;
};

} // namespace

QString ReaderText::deleteQuestion(const QString& name)
{
    return QStringLiteral("您是否要删除\" %1\"").arg(name);
}

QString ReaderText::hasOpenLoans(const QString& number, int loans)
{
    return QStringLiteral("读者\"%1\"还有%2本未还,不能删除!").arg(number).arg(loans);
}

ReaderAccount::ReaderAccount(const Database& db, const LoginState& state) : db_(db), state_(state)
{
}

ListDescription ReaderAccount::listDescription()
{
    ListDescription d;
    d.table = QStringLiteral("读者库");
    d.caption = QStringLiteral("读者管理");
    d.objectName = QStringLiteral("TRdSearchFm");
    for (const char* c : {"读者编号", "读者姓名", "类别", "单位部门", "院系", "班级", "住址",
                          "联系电话", "证件号码", "有效证件", "性别", "备注"})
        d.searchColumns << QString::fromUtf8(c);
    for (const char* c : {"读者编号", "读者姓名", "性别", "类别", "单位部门", "班级", "院系",
                          "累计借阅次数", "未还数量", "登记日期", "有效期", "状态", "登记人"})
        d.gridColumns << ShownColumn{QString::fromUtf8(c), {}};
    d.gridColumns[4].title = QStringLiteral("部门");
    d.countFooter = QStringLiteral("读者编号");
    d.printTitle = QStringLiteral("读者列表");
    d.printColumns = {{QStringLiteral("读者编号"), QStringLiteral("编号"), 28},
                      {QStringLiteral("读者姓名"), QStringLiteral("姓名"), 30},
                      {QStringLiteral("性别"), QStringLiteral("性别"), 12},
                      {QStringLiteral("单位部门"), QStringLiteral("单位部门"), 50},
                      {QStringLiteral("累计借阅次数"), QStringLiteral("借阅次数"), 22},
                      {QStringLiteral("未还数量"), QStringLiteral("未还数量"), 22}};
    return d;
}

std::optional<Money> ReaderAccount::topUpAmount(const QString& typed)
{
    // What the amount field lets through: digits and one decimal point, nothing else.
    static const QRegularExpression kDigits(QStringLiteral("^[0-9]*\\.?[0-9]*$"));
    const QString text = typed.trimmed();
    if (!kDigits.match(text).hasMatch())
        return std::nullopt;
    const std::optional<Money> m = Money::parse(text);
    if (!m || m->isZero())
        return std::nullopt;
    return m;
}

ReaderResult ReaderAccount::remove(const QString& number) const
{
    try {
        // One statement: a loan lent between a check and the delete cannot be left pointing
        // at nobody.
        const int rows = db_.execute(
            QStringLiteral("delete from 读者库 where 读者编号 = ? and not exists "
                           "(select 1 from 借出记录 where 借出记录.读者编号 = ? and 已还 = ?)"),
            {number, number, kOpen});
        if (rows > 0)
            return {true, {}};
        const int loans = db_.scalar(QStringLiteral("select count(*) from 借出记录 where "
                                                    "读者编号 = ? and 已还 = ?"),
                                     {number, kOpen})
                              .toInt();
        if (loans > 0)
            return {false, ReaderText::hasOpenLoans(number, loans)};
        return {false, ReaderText::gone(number)};
    } catch (const DbError& e) {
        return {false, e.message()};
    }
}

ReaderResult ReaderAccount::changeStatus(const QString& number, const QString& name,
                                         const QString& status, const QString& remark) const
{
    try {
        db_.transaction([&] {
            const int rows = db_.execute(
                QStringLiteral("update 读者库 set 状态 = ? where 读者编号 = ?"), {status, number});
            if (rows == 0)
                throw Refusal{ReaderText::gone(number)};
            AdminLog::write(db_, AdminLog::statusChangedEvent(), state_.OperatorName,
                            AdminLog::statusChangedDescription(number, name, status, remark));
        });
    } catch (const Refusal& r) {
        return {false, r.message};
    } catch (const DbError& e) {
        return {false, e.message()};
    }
    return {true, {}};
}

ReaderResult ReaderAccount::topUp(const QString& number, const QString& name,
                                  const QString& typedAmount, bool refund,
                                  const QString& remark) const
{
    const std::optional<Money> typed = topUpAmount(typedAmount);
    if (!typed)
        return {false, ReaderText::ZeroTopUp};
    const Money amount = refund ? -*typed : *typed;
    try {
        db_.transaction([&] {
            // Added where the balance is kept: another desk's change since the list was
            // read is not lost.
            const int rows =
                db_.execute(QStringLiteral("update 读者库 set 卡内金额 = coalesce(卡内金额, 0) + ? "
                                           "where 读者编号 = ?"),
                            {QVariant::fromValue(amount), number});
            if (rows == 0)
                throw Refusal{ReaderText::gone(number)};
            db_.execute(QStringLiteral("insert into 收入 (项目, 时间, 读者编号, 读者姓名, 金额, "
                                       "管理员, 备注) values (?, ?, ?, ?, ?, ?, ?)"),
                        {ReaderText::TopUpItem, Clock::today(), number, name,
                         QVariant::fromValue(amount), state_.OperatorName, remark});
        });
    } catch (const Refusal& r) {
        return {false, r.message};
    } catch (const DbError& e) {
        return {false, e.message()};
    }
    return {true, ReaderText::TopUpDone};
}

std::optional<Money> ReaderAccount::balance(const QString& number) const
{
    QSqlQuery q =
        db_.query(QStringLiteral("select 卡内金额 from 读者库 where 读者编号 = ?"), {number});
    if (!q.next())
        return std::nullopt;
    return Money::fromVariant(q.value(0)).value_or(Money());
}

Report ReaderAccount::libraryCards(const QString& libraryName, const QString& backText)
{
    Report report;
    report.setTitle(QStringLiteral("借阅证"));
    // Two cards across an A4 page, each 85 × 54 mm (the size of a bank card).
    ReportBand& band = report.band(BandKind::Data, 58);
    band.columns(2, 92);
    band.frame(0, 0, 86, 55);
    band.memo(QStringLiteral("Memo1"), 2, 2, 82, 7).fontSize(11).bold().align(Qt::AlignCenter);
    band.barcode(QStringLiteral("Bar1"), 6, 10, 74, 16, QStringLiteral("[读者编号]")).fontSize(7);
    band.memo(QStringLiteral("Memo2"), 4, 28, 78, 6, QStringLiteral("姓名:[读者姓名]"));
    band.memo(QStringLiteral("Memo3"), 4, 34, 78, 6, QStringLiteral("类别:[类别]"));
    band.memo(QStringLiteral("Memo4"), 4, 40, 78, 14, backText).fontSize(7).wrap();
    report.setValue(QStringLiteral("Memo1"), libraryName);
    return report;
}

QString ReaderAccount::cardBackText() const
{
    return DbValue::toText(db_.scalar(QStringLiteral("select 借阅证背面文字 from 系统设置")));
}
