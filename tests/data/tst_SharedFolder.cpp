#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "data/Database.h"
#include "data/FileSystemKind.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTest>

// A library file on a network share: one desk at a time, never WAL, a second desk refused
// with one message, and the desk that holds it working as before.
class SharedFolderTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { FileSystemKind::setCheck({}); }

    void mountTypes_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("network");
        QTest::newRow("nfs4") << "nfs4" << true;
        QTest::newRow("cifs") << "cifs" << true;
        QTest::newRow("sshfs") << "fuse.sshfs" << true;
        QTest::newRow("rclone") << "fuse.rclone" << true;
        QTest::newRow("9p") << "9p" << true;
        QTest::newRow("ext4") << "ext4" << false;
        QTest::newRow("tmpfs") << "tmpfs" << false;
        QTest::newRow("ntfs-3g") << "fuseblk" << false;
        QTest::newRow("encfs over a local disk") << "fuse.encfs" << false;
        QTest::newRow("unknown") << "" << false;
    }
    void mountTypes()
    {
        QFETCH(QString, type);
        QFETCH(bool, network);
        QCOMPARE(FileSystemKind::isNetworkType(type), network);
    }

    // The folder of the test's own files is on this machine: its library keeps WAL and
    // several connections.
    void localFolderStaysShared()
    {
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QVERIFY(!FileSystemKind::mountType(lib.dir()).isEmpty());
        QVERIFY(!FileSystemKind::isNetworkFolder(lib.dir()));
        QVERIFY(!lib.db().holdsFileAlone());
        QCOMPARE(lib.db().scalar(QStringLiteral("PRAGMA journal_mode")).toString(),
                 QStringLiteral("wal"));
        Database second(QStringLiteral("shared-folder-second"));
        QString error;
        QVERIFY2(second.openSqlite(libraryFile(lib), false, &error), qPrintable(error));
        QCOMPARE(second.scalar(QStringLiteral("select count(*) from 管理员")).toInt(), 1);
    }

    // The first desk holds the file (journal DELETE, made from a WAL file) and works; every
    // other connection is refused with the message until it closes.
    void secondDeskRefused()
    {
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const QString file = libraryFile(lib);
        lib.db().close();
        QString asked;
        FileSystemKind::setCheck([&](const QString& folder) {
            asked = folder;
            return true;
        });

        Database first(QStringLiteral("shared-folder-first"));
        QString error;
        QVERIFY2(first.openSqlite(file, false, &error), qPrintable(error));
        QCOMPARE(asked, QFileInfo(file).absolutePath());
        QVERIFY(first.holdsFileAlone());
        QCOMPARE(first.scalar(QStringLiteral("PRAGMA journal_mode")).toString(),
                 QStringLiteral("delete"));
        QVERIFY(!QFileInfo::exists(file + QStringLiteral("-wal")));

        Database second(QStringLiteral("shared-folder-second"));
        QVERIFY(!second.openSqlite(file, false, &error));
        QCOMPARE(error, Database::openElsewhereMessage(file));
        QVERIFY(!second.isOpen());
        // Through the connection string, as a desk opens it.
        QVERIFY(!second.open(QStringLiteral("a"), QStringLiteral("Data Source=book.mdb"), &error,
                             lib.dir()));
        QCOMPARE(error, Database::openElsewhereMessage(file));
        // A copy of the first connection is refused at once instead of waiting for the lock.
        QVERIFY(!second.openCopyOf(first, &error));

        // The desk that holds it reads and writes as usual.
        first.transaction([&] {
            first.execute(QStringLiteral("update 系统设置 set 图书馆名 = ?"),
                          {QStringLiteral("分馆")});
        });
        QCOMPARE(first.scalar(QStringLiteral("select 图书馆名 from 系统设置")).toString(),
                 QStringLiteral("分馆"));

        // Closed at the first desk, the library opens at the next, with what was stored.
        first.close();
        QVERIFY2(second.openSqlite(file, false, &error), qPrintable(error));
        QCOMPARE(second.scalar(QStringLiteral("select 图书馆名 from 系统设置")).toString(),
                 QStringLiteral("分馆"));
    }

    // The lock is held from the open on, not only while writing: a reader that does not take
    // part in it (the machine the share lives on opening the file as local) cannot read
    // pages the desk may be changing.
    void heldFileCannotBeRead()
    {
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const QString file = libraryFile(lib);
        lib.db().close();
        FileSystemKind::setCheck([](const QString&) { return true; });
        Database first(QStringLiteral("shared-folder-first"));
        QString error;
        QVERIFY2(first.openSqlite(file, false, &error), qPrintable(error));
        const QString name = QStringLiteral("shared-folder-raw");
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            raw.setDatabaseName(file);
            raw.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
            QVERIFY(raw.open());
            QSqlQuery q(raw);
            QVERIFY(!q.exec(QStringLiteral("select count(*) from 管理员")));
            QCOMPARE(q.lastError().nativeErrorCode().toInt() & 0xFF, 5); // SQLITE_BUSY
        }
        QSqlDatabase::removeDatabase(name);
        // Another process is kept out by the file's own lock, as another machine is.
        const QString sqlite = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
        if (sqlite.isEmpty())
            QSKIP("sqlite3 not installed: the other process cannot be tried");
        QProcess other;
        other.start(sqlite, {file, QStringLiteral("select count(*) from 管理员;")});
        QVERIFY(other.waitForFinished(30000));
        QVERIFY(other.exitCode() != 0);
        QVERIFY2(other.readAllStandardError().contains("locked"), "not refused for the lock");
        first.close();
        other.start(sqlite, {file, QStringLiteral("select count(*) from 管理员;")});
        QVERIFY(other.waitForFinished(30000));
        QCOMPARE(other.readAllStandardOutput().trimmed(), QByteArray("1"));
    }

private:
    static QString libraryFile(const TestLibrary& lib)
    {
        return QDir(lib.dir()).absoluteFilePath(QStringLiteral("book.mdb"));
    }
};

TUSHU_TEST(SharedFolderTest)
#include "tst_SharedFolder.moc"
