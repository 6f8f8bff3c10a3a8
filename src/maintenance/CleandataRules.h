// What the system initialisation decides: the maintenance password and the deletions of
// the seven tick boxes, run in the order of the table in one transaction with bound values.
#pragma once

#include "data/Database.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace CleanDataRules {

struct Step
{
    QString caption; // the tick box
    QString sql;
    QVariantList values;
    QString message; // shown once the deletions are stored
};
// The seven tick boxes in the order of the screen and of the deletions.
const QList<Step>& steps();

// The maintenance password, compared exactly.
bool passwordAccepted(const QString& typed);

// Runs the deletions of the ticked steps (ticked[i] for steps()[i]) in one transaction and
// returns their messages in order. A database error rolls every deletion back and throws
// DbError.
QStringList run(const Database& db, const QList<bool>& ticked);

} // namespace CleanDataRules

namespace CleanDataText {
inline const QString Caption = QStringLiteral("清理数据");
inline const QString Notice = QStringLiteral("重要提示:");
inline const QString Warning =
    QStringLiteral("此步操作将永久性删除数据信息,强烈建议您备份数据后再进行.");
inline const QString PasswordCaption = QStringLiteral("请输入正确的密码");
inline const QString PasswordPrompt = QStringLiteral("密码:");
inline const QString WrongPassword = QStringLiteral("密码错误!");
} // namespace CleanDataText
