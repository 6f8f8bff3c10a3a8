#include "LibraryInit.h"

#include "ConnectionString.h"
#include "Database.h"
#include "Schema.h"
#include "SettingsFile.h"

#include <QDir>
#include <QFile>

bool LibraryInit::writeSettingsFile(const QString& path, const QString& kind,
                                    const QString& connectionString, QString* error)
{
    SettingsFile ini(path);
    const QString part1 = QStringLiteral("part1");
    const QList<std::pair<QString, QString>> values = {
        {QStringLiteral("abc"), kind},
        {QStringLiteral("csaccess"), ConnectionString::builtInAccess()},
        {QStringLiteral("cs"), kind == QLatin1String("s") ? connectionString : QStringLiteral("0")},
        {QStringLiteral("softname"), QStringLiteral("图书管理系统")},
        {QStringLiteral("tel"), QStringLiteral("电话: 010-62345678")},
        {QStringLiteral("company"), QStringLiteral("tushu 开发组")},
        {QStringLiteral("Memo"), QStringLiteral("小型图书馆的借阅、编目与读者管理系统")},
        {QStringLiteral("web"), QStringLiteral("https://tushu.example.org")},
        {QStringLiteral("WinA"), QStringLiteral("1")},
        {QStringLiteral("BcCc"), QStringLiteral("1")},
    };
    for (const auto& [key, value] : values)
        if (!ini.write(part1, key, value, error))
            return false;
    return ini.write(QStringLiteral("PosPrt"), QStringLiteral("PosPort"), QStringLiteral("0"),
                     error) &&
           ini.write(QStringLiteral("PosPrt"), QStringLiteral("JieChuHouDaYin"),
                     QStringLiteral("0"), error);
}

bool LibraryInit::create(const QString& dir, bool demo, const QString& serverConnectionString,
                         QString* error, const std::function<void(const Database&)>& demoHistory)
{
    if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("无法创建目录 %1").arg(dir);
        return false;
    }
    const QDir d(dir);
    Database db(QStringLiteral("tushu-init"));
    const bool server = !serverConnectionString.isEmpty();
    const QString file = d.absoluteFilePath(QStringLiteral("book.mdb"));
    if (server) {
        if (!db.open(QStringLiteral("s"), serverConnectionString, error))
            return false;
    } else {
        if (QFile::exists(file)) {
            *error = QStringLiteral("%1 已经存在,不会覆盖.").arg(QDir::toNativeSeparators(file));
            return false;
        }
        if (!db.openSqlite(file, true, error))
            return false;
    }
    try {
        Schema::create(db);
        if (demo) {
            Schema::addDemoLibrary(db);
            if (demoHistory)
                demoHistory(db);
        }
    } catch (const DbError& e) {
        *error = e.message();
        db.close();
        if (!server) {
            QFile::remove(file);
            QFile::remove(file + QStringLiteral("-wal"));
            QFile::remove(file + QStringLiteral("-shm"));
        }
        return false;
    }
    db.close();
    return writeSettingsFile(d.absoluteFilePath(QStringLiteral("de.ini")),
                             server ? QStringLiteral("s") : QStringLiteral("a"),
                             serverConnectionString, error);
}
