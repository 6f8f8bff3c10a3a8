// What the operator accounts screen and the password change screen decide: the operators
// and their rights, adding, changing and deleting an operator, the super administrator's
// rules, and the change of a password. Values go into SQL as bound parameters; each change
// runs in one transaction. What happened comes back with its message texts; the screens
// show them and ask the questions.
#pragma once

#include "data/Database.h"
#include "data/LoginState.h"
#include "data/RuleResult.h"

#include <QList>
#include <QString>

class AdminRules
{
public:
    explicit AdminRules(const Database& db) : db_(db) {}

    // The thirteen check boxes of the accounts screen, in the screen's order.
    struct RightBox
    {
        const char* caption;
        const char* column;
        bool Rights::*field;
    };
    static const QList<RightBox>& rightBoxes();

    struct Operator
    {
        QString name;
        Rights rights;
    };
    // Every operator of "select * from 管理员", in the order the database returns them.
    // A NULL right throws the conversion error.
    QList<Operator> operators() const;

    // The name as it is stored: without leading and trailing blanks.
    static QString cleanName(const QString& typed);
    // Whether the name input stays locked while the operator of that name is edited.
    static bool nameLocked(const QString& name);

    // Why the typed name cannot be saved for the operator loaded as originalName (empty when
    // adding), or empty text.
    static QString refusal(const QString& typedName, const QString& originalName = {});

    // A new operator with the default password, qxwp and qxwpxg No and the ticked rights.
    // Done when stored; a refusal, or Failed with the database's text (a duplicate name).
    RuleResult add(const QString& typedName, const Rights& rights) const;
    // The operator loaded as originalName gets the typed name and the ticked rights; a row
    // that has gone meanwhile is refused as gone. Done when stored.
    RuleResult change(const QString& originalName, const QString& typedName,
                      const Rights& rights) const;
    // Asked before a delete: the super administrator's refusal, or the question.
    static RuleResult removeCheck(const QString& name);
    // The delete once the question is answered Yes; the super administrator's rule holds
    // here too. Done when deleted.
    RuleResult remove(const QString& name) const;

    static QString deleteQuestion(const QString& name);

    // The password change of the logged-in operator: the old password must match that
    // operator's row, the new one its confirmation.
    enum class PasswordChange
    {
        Changed,
        WrongOldPassword,
        Mismatch,
    };
    // Throws DbError.
    PasswordChange changePassword(const QString& operatorName, const QString& oldPassword,
                                  const QString& newPassword, const QString& confirmation) const;
    static QString message(PasswordChange result);

private:
    const Database& db_;
};

namespace AdminText {
inline const QString NameRequired = QStringLiteral("用户名必须填写！");
inline const QString SuperAdministratorKept = QStringLiteral("超级管理员 不能删除！");
inline const QString SuperAdministratorRenamed = QStringLiteral("超级管理员 不能改名！");
inline const QString DeleteQuestionStart = QStringLiteral("您是否要删除");
inline const QString ConfirmCaption = QStringLiteral("确认");
inline const QString WrongOldPassword = QStringLiteral("旧密码输入错误！");
inline const QString Mismatch = QStringLiteral("两次输入的新密码不一致！");
inline const QString PasswordChanged = QStringLiteral("修改成功！");
// "用户 "name" 已不存在！": the row was deleted or renamed at another desk.
QString gone(const QString& name);
} // namespace AdminText
