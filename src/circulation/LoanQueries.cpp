#include "LoanQueries.h"

namespace {

void addColumns(ListDescription* d, std::initializer_list<const char*> columns)
{
    for (const char* c : columns)
        d->gridColumns << ShownColumn{QString::fromUtf8(c), {}};
}

// Both end days included, whatever time of day a row carries: from the start of the first
// day up to, not including, the start of the day after the last.
void addRange(const QString& column, const QDate& from, const QDate& to, QStringList* where,
              QVariantList* values)
{
    *where << column + QStringLiteral(" >= ?") << column + QStringLiteral(" < ?");
    *values << from << to.addDays(1);
}

} // namespace

ListDescription LoanQueries::searchDescription()
{
    ListDescription d;
    d.table = QStringLiteral("借出记录");
    d.caption = QStringLiteral("借阅信息查询");
    d.objectName = QStringLiteral("TBkJySearchFm");
    addColumns(&d, {"读者编号", "读者姓名",   "条形码",     "编号",     "名称",     "类别",
                    "价格",     "附件",       "借阅日期",   "归还日期", "应还日期", "已还",
                    "租金",     "借阅经手人", "归还经手人", "物品状况", "赔偿金额", "归还备注",
                    "实际租期", "实际租金",   "罚金",       "id"});
    d.countFooter = QStringLiteral("id");
    d.sumFooters = {QStringLiteral("价格"), QStringLiteral("实际租金"), QStringLiteral("罚金")};
    d.printTitle = QStringLiteral("借阅信息");
    d.printColumns = {{QStringLiteral("id"), QStringLiteral("顺序号"), 16},
                      {QStringLiteral("读者编号"), QStringLiteral("读者编号"), 24},
                      {QStringLiteral("读者姓名"), QStringLiteral("读者姓名"), 22},
                      {QStringLiteral("编号"), QStringLiteral("编号"), 24},
                      {QStringLiteral("名称"), QStringLiteral("名称"), 50},
                      {QStringLiteral("类别"), QStringLiteral("类别"), 18},
                      {QStringLiteral("借阅日期"), QStringLiteral("借阅日期"), 22},
                      {QStringLiteral("已还"), QStringLiteral("已还"), 12}};
    return d;
}

ListDescription LoanQueries::overdueDescription()
{
    ListDescription d = searchDescription();
    d.caption = QStringLiteral("逾期未还记录统计");
    d.objectName = QStringLiteral("TDueRecordFm");
    d.gridColumns.clear();
    addColumns(&d, {"id", "读者编号", "读者姓名", "条形码", "编号", "名称", "类别", "价格", "附件",
                    "借阅日期", "归还日期", "应还日期", "已还", "借阅经手人", "归还经手人"});
    d.sumFooters = {QStringLiteral("价格")};
    d.printTitle = QStringLiteral("逾期未还记录");
    return d;
}

std::optional<ListStatement> LoanQueries::search(const LoanConditions& c, QString* message)
{
    const bool anyText = !(c.number.isEmpty() && c.name.isEmpty() && c.barcode.isEmpty() &&
                           c.readerNumber.isEmpty() && c.readerName.isEmpty());
    if (!anyText && !c.lentBetween && !c.returnedBetween && !c.returnedState) {
        *message = LoanText::NoCondition;
        return std::nullopt;
    }
    if (c.lentBetween && c.lentTo < c.lentFrom) {
        *message = LoanText::LentRangeReversed;
        return std::nullopt;
    }
    if (c.returnedBetween && c.returnedTo < c.returnedFrom) {
        *message = LoanText::ReturnedRangeReversed;
        return std::nullopt;
    }
    QStringList where;
    QVariantList values;
    const std::pair<const char*, const QString*> texts[] = {{"编号", &c.number},
                                                            {"名称", &c.name},
                                                            {"条形码", &c.barcode},
                                                            {"读者编号", &c.readerNumber},
                                                            {"读者姓名", &c.readerName}};
    for (const auto& [column, text] : texts) {
        if (text->isEmpty())
            continue;
        where << QString::fromUtf8(column) + QStringLiteral(" = ?");
        values << *text;
    }
    if (c.lentBetween)
        addRange(QStringLiteral("借阅日期"), c.lentFrom, c.lentTo, &where, &values);
    if (c.returnedBetween)
        addRange(QStringLiteral("归还日期"), c.returnedFrom, c.returnedTo, &where, &values);
    if (c.returnedState) {
        where << QStringLiteral("已还 = ?");
        values << c.returned.trimmed();
    }
    return ListStatement{QStringLiteral("select * from 借出记录 where ") +
                             where.join(QStringLiteral(" and ")),
                         values};
}

ListStatement LoanQueries::overdue(const QDate& today)
{
    return ListStatement{QStringLiteral("select * from 借出记录 where 应还日期 < ? and 已还 = ?"),
                         {today.addDays(1), QStringLiteral("否")}};
}
