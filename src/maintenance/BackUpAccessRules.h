// The backup of an SQLite library: a consistent snapshot of the database as committed at one
// moment, written while this program and other desks keep working.
//
// The snapshot is taken with VACUUM INTO on a second connection to the same file, so that
// data still in the write-ahead log is included and the shared connection that open screens
// read through is never closed. It goes into a temporary file in the target folder, which
// is checked (integrity_check), flushed to disk and only then renamed over the previous
// backup: a failed backup leaves the previous one as it was. A target that is the live
// database's own folder, however it is spelled (symbolic links, "dir/.", a bind mount), is
// refused.
#pragma once

#include "data/Database.h"

#include <QString>
#include <QStringList>

class BackUpAccessRules
{
public:
    struct Result
    {
        bool ok = false;
        bool refused = false; // the live database's own folder
        QString message;      // "备份成功!", the refusal, or what failed
        QString file;         // the backup written
    };

    explicit BackUpAccessRules(const Database& db) : db_(db) {}

    // The database file open on the connection, without symbolic links; empty when the
    // connection is not an open SQLite database.
    QString liveFile() const;
    // Whether folder is the folder of liveFile().
    bool isLiveFolder(const QString& folder) const;

    // Writes the backup into folder under the live file's name (book.mdb).
    Result backup(const QString& folder) const;

    // The names of the "*.mdb" files of a folder, by name.
    static QStringList backupFiles(const QString& folder);

private:
    const Database& db_;
};

namespace BackupText {
inline const QString Caption = QStringLiteral("备份数据");
inline const QString ChooseFolder = QStringLiteral("请选择好要备份的位置");
inline const QString Restore = QStringLiteral(
    "还原数据就是把备份好的数据文件拷贝到图书管理软件的安装目录下,覆盖book.mdb就可以了.");
inline const QString Refusal =
    QStringLiteral("不能在本软件的当前目录下备份,那样会破坏原数据库文件,请选择其他地方备份!");
inline const QString Success = QStringLiteral("备份成功!");
inline const QString ServerDatabase =
    QStringLiteral("数据库服务器上的图书馆请用数据库服务器自己的工具备份 (PostgreSQL: pg_dump).");
} // namespace BackupText
