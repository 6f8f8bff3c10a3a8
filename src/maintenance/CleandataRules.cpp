#include "CleandataRules.h"

namespace {
// Three lower-case letters and nine digits, fixed in the program.
const QString kMaintenancePassword = QStringLiteral("qtm605281947");
} // namespace

const QList<CleanDataRules::Step>& CleanDataRules::steps()
{
    static const QList<Step> all = {
        {QStringLiteral("删除图书信息"),
         QStringLiteral("delete from 图书"),
         {},
         QStringLiteral("删除图书数据完毕!")},
        {QStringLiteral("删除期刊信息"),
         QStringLiteral("delete from 期刊"),
         {},
         QStringLiteral("删除期刊数据完毕!")},
        {QStringLiteral("删除读者信息"),
         QStringLiteral("delete from 读者库"),
         {},
         QStringLiteral("删除读者数据完毕!")},
        {QStringLiteral("删除全部借阅记录"),
         QStringLiteral("delete from 借出记录"),
         {},
         QStringLiteral("删除借阅记录数据完毕!")},
        {QStringLiteral("删除资金记录"),
         QStringLiteral("delete from 收入"),
         {},
         QStringLiteral("删除资金记录数据完毕!")},
        {QStringLiteral("删除已还借阅记录"),
         QStringLiteral("delete from 借出记录 where 已还 = ?"),
         {QStringLiteral("是")},
         QStringLiteral("删除已还借阅记录数据完毕!")},
        {QStringLiteral("删除管理员日志"),
         QStringLiteral("delete from 管理员日志"),
         {},
         QStringLiteral("删除数据完毕!")},
    };
    return all;
}

bool CleanDataRules::passwordAccepted(const QString& typed)
{
    return typed == kMaintenancePassword;
}

QStringList CleanDataRules::run(const Database& db, const QList<bool>& ticked)
{
    QStringList messages;
    db.transaction([&] {
        messages.clear();
        for (int i = 0; i < steps().size(); ++i) {
            if (!ticked.value(i))
                continue;
            db.execute(steps()[i].sql, steps()[i].values);
            messages << steps()[i].message;
        }
    });
    return messages;
}
