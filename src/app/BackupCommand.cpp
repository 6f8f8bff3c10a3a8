#include "BackupCommand.h"

#include "data/Database.h"
#include "data/LoginState.h"
#include "data/SettingsFile.h"
#include "maintenance/BackUpAccessRules.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>
#include <cstdio>

namespace {
int fail(const QString& message)
{
    std::fprintf(stderr, "%s\n", message.toUtf8().constData());
    return 1;
}
} // namespace

int runBackupCommand(const QString& dir, const QString& folder)
{
    const QString ini = QDir(dir).absoluteFilePath(QStringLiteral("de.ini"));
    if (!QFileInfo::exists(ini))
        return fail(QStringLiteral("找不到设置文件 %1。").arg(QDir::toNativeSeparators(ini)));
    LoginState state;
    state.readSettingsFile(SettingsFile(ini));
    if (state.DbKind == QLatin1String("s"))
        return fail(BackupText::ServerDatabase);

    Database db(QStringLiteral("tushu-backup-command-") +
                QUuid::createUuid().toString(QUuid::Id128));
    QString error;
    if (!db.open(state.DbKind, state.ConnectionString, &error, QDir(dir).absolutePath()))
        return fail(error);
    const BackUpAccessRules::Result result = BackUpAccessRules(db).backup(folder);
    db.close();
    if (!result.ok)
        return fail(result.message);
    std::fprintf(stdout, "%s %s\n", result.message.toUtf8().constData(),
                 QDir::toNativeSeparators(result.file).toUtf8().constData());
    return 0;
}
