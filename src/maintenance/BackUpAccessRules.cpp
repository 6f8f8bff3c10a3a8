#include "BackUpAccessRules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct FileId
{
    dev_t device = 0;
    ino_t inode = 0;
    bool valid = false;
    bool operator==(const FileId& o) const
    {
        return valid && o.valid && device == o.device && inode == o.inode;
    }
};

FileId fileId(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {st.st_dev, st.st_ino, true};
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Flushes a file or a folder to disk.
bool syncPath(const QString& path, bool folder, QString* error)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), folder ? (O_RDONLY | O_DIRECTORY) : O_RDONLY);
    if (fd < 0) {
        *error = systemError();
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    if (!ok)
        *error = systemError();
    ::close(fd);
    return ok;
}

// Opens the new file read-only and runs the integrity check; empty text when it passes.
QString checkSnapshot(const QString& path)
{
    const QString name = QStringLiteral("tushu-backup-check-") + QUuid::createUuid().toString();
    QString problem;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) {
            problem = db.lastError().text();
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA integrity_check"))) {
                problem = q.lastError().text();
            } else {
                QStringList lines;
                while (q.next())
                    lines << q.value(0).toString();
                if (lines != QStringList{QStringLiteral("ok")})
                    problem = lines.join(QLatin1Char('\n'));
            }
            if (problem.isEmpty() &&
                (!q.exec(QStringLiteral("select count(*) from sqlite_master")) || !q.next() ||
                 q.value(0).toInt() == 0))
                problem = QStringLiteral("备份文件中没有任何表.");
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return problem;
}

BackUpAccessRules::Result failure(const QString& message)
{
    BackUpAccessRules::Result r;
    r.message = message;
    return r;
}
} // namespace

QString BackUpAccessRules::liveFile() const
{
    if (db_.engine() != DbEngine::SQLite || !db_.isOpen())
        return {};
    QString path;
    try {
        // The file SQLite itself has open for the main database.
        QSqlQuery q = db_.query(QStringLiteral("PRAGMA database_list"));
        while (q.next())
            if (q.value(1).toString() == QLatin1String("main"))
                path = q.value(2).toString();
    } catch (const DbError&) {
    }
    if (path.isEmpty())
        path = db_.handle().databaseName();
    return QFileInfo(path).canonicalFilePath();
}

bool BackUpAccessRules::isLiveFolder(const QString& folder) const
{
    const QString live = liveFile();
    if (live.isEmpty())
        return false;
    const QString liveFolder = QFileInfo(live).absolutePath();
    const QString chosen = QFileInfo(folder).canonicalFilePath();
    if (!chosen.isEmpty() && chosen == liveFolder)
        return true;
    // The same folder reached another way (a bind mount) is the same inode.
    return fileId(folder) == fileId(liveFolder);
}

QStringList BackUpAccessRules::backupFiles(const QString& folder)
{
    if (folder.isEmpty())
        return {};
    return QDir(folder).entryList({QStringLiteral("*.mdb")}, QDir::Files, QDir::Name);
}

BackUpAccessRules::Result BackUpAccessRules::backup(const QString& folderText) const
{
    if (db_.engine() != DbEngine::SQLite)
        return failure(BackupText::ServerDatabase);
    const QString live = liveFile();
    if (live.isEmpty())
        return failure(QStringLiteral("找不到正在使用的数据库文件."));
    const QString folder = folderText.trimmed();
    if (folder.isEmpty())
        return failure(QStringLiteral("请选择要备份的位置."));
    const QFileInfo folderInfo(folder);
    if (!folderInfo.isDir())
        return failure(QStringLiteral("文件夹 %1 不存在.").arg(QDir::toNativeSeparators(folder)));
    const QString target =
        QDir(folderInfo.canonicalFilePath()).absoluteFilePath(QFileInfo(live).fileName());
    if (isLiveFolder(folder) || fileId(target) == fileId(live)) {
        Result r;
        r.refused = true;
        r.message = BackupText::Refusal;
        return r;
    }

    // The snapshot goes into a new file beside the target; it replaces the target only
    // once it is complete, checked and on disk.
    QString temporary;
    {
        QTemporaryFile file(target + QStringLiteral(".tmp-XXXXXX"));
        file.setAutoRemove(false);
        if (!file.open())
            return failure(QStringLiteral("不能在 %1 中写入备份: %2")
                               .arg(QDir::toNativeSeparators(folder), file.errorString()));
        temporary = file.fileName();
    }
    auto fail = [&](const QString& message) {
        QFile::remove(temporary);
        return failure(QStringLiteral("备份失败: %1").arg(message));
    };

    {
        // A file held alone (on a shared folder) is read by its own connection: no other
        // can, and no other desk writes to it meanwhile.
        Database copy(QStringLiteral("tushu-backup-") + QUuid::createUuid().toString());
        QString error;
        if (!db_.holdsFileAlone() && !copy.openCopyOf(db_, &error))
            return fail(error);
        try {
            (db_.holdsFileAlone() ? db_ : copy)
                .execute(QStringLiteral("VACUUM INTO ?"), {temporary});
        } catch (const DbError& e) {
            return fail(e.message());
        }
    }
    const QString problem = checkSnapshot(temporary);
    if (!problem.isEmpty())
        return fail(QStringLiteral("备份文件检查失败: %1").arg(problem));
    QFile::setPermissions(temporary, QFile::permissions(live));
    QString error;
    if (!syncPath(temporary, false, &error))
        return fail(error);
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) !=
        0)
        return fail(systemError());
    // The new name on disk too. Should this flush fail, the backup is complete all the same
    // and the rename reaches the disk with the system's next flush.
    syncPath(QFileInfo(target).absolutePath(), true, &error);

    Result r;
    r.ok = true;
    r.message = BackupText::Success;
    r.file = target;
    return r;
}
