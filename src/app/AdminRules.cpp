#include "AdminRules.h"

#include "LoginRules.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

QString AdminText::gone(const QString& name)
{
    return QStringLiteral("用户\"%1\"已不存在！").arg(name);
}

const QList<AdminRules::RightBox>& AdminRules::rightBoxes()
{
    static const QList<RightBox> boxes = {
        {"借阅", "qxborrow", &Rights::qxborrow},
        {"归还", "qxReturn", &Rights::qxreturn},
        {"读者资料管理", "qxRd", &Rights::qxrd},
        {"期刊资料管理", "qxQk", &Rights::qxqk},
        {"删除数据功能", "qxDel", &Rights::qxdel},
        {"图书资料管理", "qxBk", &Rights::qxbk},
        {"修改读者资料", "qxRdXg", &Rights::qxrdxg},
        {"修改期刊资料", "qxQkXg", &Rights::qxqkxg},
        {"修改图书资料", "qxBkXg", &Rights::qxbkxg},
        {"管理员设置管理", "qxAdmin", &Rights::qxadmin},
        {"系统设置", "qxSysSet", &Rights::qxsysset},
        {"添加数据", "qxAddData", &Rights::qxadddata},
        {"修改库存", "qxModifyStock", &Rights::qxModifyStock},
    };
    return boxes;
}

QList<AdminRules::Operator> AdminRules::operators() const
{
    QSqlQuery q = db_.query(QStringLiteral("select * from 管理员"));
    const QSqlRecord record = q.record();
    const int nameAt = record.indexOf(QStringLiteral("AdminName"));
    QList<int> rightAt;
    for (const RightBox& b : rightBoxes())
        rightAt << record.indexOf(QString::fromLatin1(b.column));
    QList<Operator> out;
    while (q.next()) {
        Operator op;
        op.name = nameAt < 0 ? QString() : DbValue::toText(q.value(nameAt));
        for (int i = 0; i < rightBoxes().size(); ++i)
            op.rights.*rightBoxes()[i].field =
                DbValue::toBool(rightAt[i] < 0 ? QVariant() : q.value(rightAt[i]));
        out << op;
    }
    return out;
}

QString AdminRules::cleanName(const QString& typed)
{
    return typed.trimmed();
}

bool AdminRules::nameLocked(const QString& name)
{
    return LoginRules::isSuperAdministrator(name);
}

QString AdminRules::refusal(const QString& typedName, const QString& originalName)
{
    const QString name = cleanName(typedName);
    if (name.isEmpty())
        return AdminText::NameRequired;
    if (!originalName.isEmpty() && nameLocked(originalName) && name != originalName)
        return AdminText::SuperAdministratorRenamed;
    return {};
}

RuleResult AdminRules::add(const QString& typedName, const Rights& rights) const
{
    return RuleResult::transaction(db_, [&]() -> QString {
        const QString refused = refusal(typedName);
        if (!refused.isEmpty())
            return refused;
        QStringList columns{QStringLiteral("AdminName"), QStringLiteral("pwd"),
                            QStringLiteral("qxwp"), QStringLiteral("qxwpxg")};
        QVariantList values{cleanName(typedName), QString::fromLatin1(kDefaultPassword), false,
                            false};
        for (const RightBox& b : rightBoxes()) {
            columns << QString::fromLatin1(b.column);
            values << bool(rights.*b.field);
        }
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        db_.execute(QStringLiteral("insert into 管理员 (%1) values (%2)")
                        .arg(columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                    values);
        return {};
    });
}

RuleResult AdminRules::change(const QString& originalName, const QString& typedName,
                              const Rights& rights) const
{
    return RuleResult::transaction(db_, [&]() -> QString {
        const QString refused = refusal(typedName, originalName);
        if (!refused.isEmpty())
            return refused;
        QStringList sets{QStringLiteral("AdminName = ?")};
        QVariantList values{cleanName(typedName)};
        for (const RightBox& b : rightBoxes()) {
            sets << QString::fromLatin1(b.column) + QStringLiteral(" = ?");
            values << bool(rights.*b.field);
        }
        values << originalName;
        if (db_.execute(QStringLiteral("update 管理员 set %1 where AdminName = ?")
                            .arg(sets.join(QStringLiteral(", "))),
                        values) == 0)
            return AdminText::gone(originalName);
        return {};
    });
}

QString AdminRules::deleteQuestion(const QString& name)
{
    return AdminText::DeleteQuestionStart + QStringLiteral("\" ") + name + QLatin1Char('"');
}

RuleResult AdminRules::removeCheck(const QString& name)
{
    if (nameLocked(name))
        return RuleResult::refused(AdminText::SuperAdministratorKept);
    return RuleResult::ask(deleteQuestion(name), AdminText::ConfirmCaption);
}

RuleResult AdminRules::remove(const QString& name) const
{
    if (nameLocked(name))
        return RuleResult::refused(AdminText::SuperAdministratorKept);
    return RuleResult::transaction(db_, [&]() -> QString {
        if (db_.execute(QStringLiteral("delete from 管理员 where AdminName = ?"), {name}) == 0)
            return AdminText::gone(name);
        return {};
    });
}

AdminRules::PasswordChange AdminRules::changePassword(const QString& operatorName,
                                                      const QString& oldPassword,
                                                      const QString& newPassword,
                                                      const QString& confirmation) const
{
    PasswordChange result = PasswordChange::Changed;
    db_.transaction([&] {
        const QVariantList who{operatorName, oldPassword};
        if (db_.scalar(
                   QStringLiteral("select count(*) from 管理员 where AdminName = ? and pwd = ?"),
                   who)
                .toInt() == 0) {
            result = PasswordChange::WrongOldPassword;
            return;
        }
        if (newPassword != confirmation) {
            result = PasswordChange::Mismatch;
            return;
        }
        if (db_.execute(QStringLiteral("update 管理员 set pwd = ? where AdminName = ? and pwd = ?"),
                        {newPassword, operatorName, oldPassword}) == 0)
            result = PasswordChange::WrongOldPassword;
    });
    return result;
}

QString AdminRules::message(PasswordChange result)
{
    switch (result) {
    case PasswordChange::Changed:
        return AdminText::PasswordChanged;
    case PasswordChange::WrongOldPassword:
        return AdminText::WrongOldPassword;
    case PasswordChange::Mismatch:
        return AdminText::Mismatch;
    }
    return {};
}
