#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "data/FileSystemKind.h"
#include "maintenance/BackUpAccessRules.h"
#include "maintenance/BackUpAccessUt.h"
#include "widgets/DataGrid.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlError>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <cstring>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
const QString kSuccess = QStringLiteral("备份成功!");
const QString kRefusal =
    QStringLiteral("不能在本软件的当前目录下备份,那样会破坏原数据库文件,请选择其他地方备份!");

// Opens a backup file read-only and counts a table's rows; -1 when it cannot be read.
struct Snapshot
{
    explicit Snapshot(const QString& path)
        : name(QStringLiteral("snapshot-") + QUuid::createUuid().toString())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        db.open();
    }
    ~Snapshot()
    {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    QVariant scalar(const QString& sql) const
    {
        QSqlQuery q(QSqlDatabase::database(name));
        if (!q.exec(sql) || !q.next())
            return {};
        return q.value(0);
    }
    int count(const char* table) const
    {
        const QVariant v =
            scalar(QStringLiteral("select count(*) from %1").arg(QString::fromUtf8(table)));
        return v.isValid() ? v.toInt() : -1;
    }
    QString name;
};

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

QByteArray bytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeBytes(const QString& path, const QByteArray& content)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(content);
}

void addReaders(const Database& db, int from, int count)
{
    db.transaction([&] {
        for (int i = from; i < from + count; ++i)
            db.execute(QStringLiteral("insert into 读者库 (读者编号, 读者姓名) values (?, ?)"),
                       {QStringLiteral("BK%1").arg(i, 4, 10, QLatin1Char('0')),
                        QStringLiteral("读者%1").arg(i)});
    });
}

// Root passes every permission check; for the time of a test the thread gives up the
// capabilities that let it write into a read-only folder.
class WithoutPermissionOverride
{
public:
    WithoutPermissionOverride()
    {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        header_.pid = 0;
        if (syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct reduced[2];
        std::memcpy(reduced, saved_, sizeof reduced);
        reduced[0].effective &=
            ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        active_ = syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~WithoutPermissionOverride()
    {
        if (active_)
            syscall(SYS_capset, &header_, saved_);
    }
    bool ok() const { return active_ || geteuid() != 0; }

private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};
} // namespace

class BackupTest : public QObject
{
    Q_OBJECT
private slots:
    // Rows another connection has committed but that are still only in the write-ahead
    // log are in the backup, which passes the integrity check; a plain copy of the file
    // would miss them.
    void committedRowsStillInTheLogAreBackedUp()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        Database& shared = lib.db();
        shared.execute(QStringLiteral("PRAGMA wal_autocheckpoint=0"));
        Database other(QStringLiteral("other-desk"));
        QString error;
        QVERIFY2(other.openCopyOf(shared, &error), qPrintable(error));
        other.execute(QStringLiteral("PRAGMA wal_autocheckpoint=0"));
        addReaders(other, 1, 200);
        const QString live = QDir(lib.dir()).absoluteFilePath(QStringLiteral("book.mdb"));
        QVERIFY(QFileInfo(live + QStringLiteral("-wal")).size() > 0);

        QTemporaryDir plainDir;
        const QString plain = QDir(plainDir.path()).absoluteFilePath(QStringLiteral("book.mdb"));
        QVERIFY(QFile::copy(live, plain));
        {
            Database copy(QStringLiteral("plain-copy"));
            QVERIFY2(copy.openSqlite(plain, false, &error), qPrintable(error));
            // Without the log the copy lacks the rows, if not the whole schema.
            int rows = -1;
            try {
                rows = copy.scalar(QStringLiteral("select count(*) from 读者库")).toInt();
            } catch (const DbError&) {
            }
            QVERIFY(rows < 200);
        }

        QTemporaryDir target;
        const BackUpAccessRules::Result r = BackUpAccessRules(shared).backup(target.path());
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(r.message, kSuccess);
        QCOMPARE(r.file, QDir(target.path()).absoluteFilePath(QStringLiteral("book.mdb")));
        QCOMPARE(entries(target.path()), QStringList{QStringLiteral("book.mdb")});
        Snapshot backup(r.file);
        QCOMPARE(backup.count("读者库"), 200);
        QCOMPARE(backup.scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
                 QStringLiteral("ok"));
        // A file of its own: no log beside it is needed to read it.
        QCOMPARE(backup.scalar(QStringLiteral("PRAGMA journal_mode")).toString(),
                 QStringLiteral("delete"));
    }

    // The shared connection stays open: a grid reading through it goes on afterwards.
    void backupWhileAGridReads()
    {
        TestLibrary lib{TestLibrary::SQLite, true};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addReaders(lib.db(), 1, 50);
        DataGrid grid;
        grid.model()->setChunkSize(5);
        grid.setQuery(Database::shared(), QStringLiteral("select * from 读者库"));
        QVERIFY(!grid.model()->allFetched());
        const int total =
            Database::shared().scalar(QStringLiteral("select count(*) from 读者库")).toInt();

        QTemporaryDir target;
        const BackUpAccessRules::Result r =
            BackUpAccessRules(Database::shared()).backup(target.path());
        QVERIFY2(r.ok, qPrintable(r.message));
        QVERIFY(Database::shared().isOpen());
        grid.model()->fetchAll();
        QCOMPARE(grid.rowCount(), total);
        QCOMPARE(Snapshot(r.file).count("读者库"), total);
    }

    // The live database's folder is refused however it is written.
    void liveFolderRefused_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("as is") << "plain";
        QTest::newRow("trailing slash") << "slash";
        QTest::newRow("dir/.") << "dot";
        QTest::newRow("sub/..") << "dotdot";
        QTest::newRow("symbolic link") << "link";
        QTest::newRow("link inside a link") << "linklink";
    }
    void liveFolderRefused()
    {
        QFETCH(QString, how);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir links;
        const QString dir = lib.dir();
        QDir(dir).mkdir(QStringLiteral("sub"));
        const QString link = QDir(links.path()).absoluteFilePath(QStringLiteral("library"));
        QVERIFY(QFile::link(dir, link));
        const QString linkToLink = QDir(links.path()).absoluteFilePath(QStringLiteral("again"));
        QVERIFY(QFile::link(link, linkToLink));
        const QString folder = how == "plain"    ? dir
                               : how == "slash"  ? dir + QStringLiteral("/")
                               : how == "dot"    ? dir + QStringLiteral("/.")
                               : how == "dotdot" ? dir + QStringLiteral("/sub/..")
                               : how == "link"   ? link
                                                 : linkToLink + QStringLiteral("/./");
        const QStringList before = entries(dir);
        const QByteArray live = bytes(QDir(dir).absoluteFilePath(QStringLiteral("book.mdb")));
        const BackUpAccessRules::Result r = BackUpAccessRules(lib.db()).backup(folder);
        QVERIFY(!r.ok);
        QVERIFY(r.refused);
        QCOMPARE(r.message, kRefusal);
        QCOMPARE(entries(dir), before);
        QCOMPARE(bytes(QDir(dir).absoluteFilePath(QStringLiteral("book.mdb"))), live);
        QCOMPARE(lib.db().scalar(QStringLiteral("select count(*) from 管理员")).toInt(), 1);
    }

    // A new backup replaces the old one only when it is complete.
    void replacesThePreviousBackup()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir target;
        const QString old = QDir(target.path()).absoluteFilePath(QStringLiteral("book.mdb"));
        writeBytes(old, "the previous backup");
        addReaders(lib.db(), 1, 3);
        const BackUpAccessRules::Result r = BackUpAccessRules(lib.db()).backup(target.path());
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(entries(target.path()), QStringList{QStringLiteral("book.mdb")});
        QCOMPARE(Snapshot(old).count("读者库"), 3);
    }

    // A library on a shared folder is held by its one connection: the snapshot is read through
    // it, and it goes on working afterwards.
    void libraryHeldAloneIsBackedUpThroughItsConnection()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addReaders(lib.db(), 1, 4);
        const QString file = QDir(lib.dir()).absoluteFilePath(QStringLiteral("book.mdb"));
        lib.db().close();
        FileSystemKind::setCheck([](const QString&) { return true; });
        QString error;
        const bool opened = lib.db().openSqlite(file, false, &error);
        FileSystemKind::setCheck({});
        QVERIFY2(opened, qPrintable(error));
        QVERIFY(lib.db().holdsFileAlone());
        QTemporaryDir target;
        const BackUpAccessRules::Result r = BackUpAccessRules(lib.db()).backup(target.path());
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(Snapshot(r.file).count("读者库"), 4);
        addReaders(lib.db(), 5, 1);
        QCOMPARE(lib.db().scalar(QStringLiteral("select count(*) from 读者库")).toInt(), 5);
    }

    // A folder the backup cannot write into: an error of its own, the old backup intact,
    // nothing left behind.
    void readOnlyTargetKeepsTheOldBackup()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir target;
        const QString old = QDir(target.path()).absoluteFilePath(QStringLiteral("book.mdb"));
        writeBytes(old, "the previous backup");
        RecordingMessenger messenger;
        {
            WithoutPermissionOverride unprivileged;
            if (!unprivileged.ok())
                QSKIP("cannot give up the permission override of root");
            QVERIFY(QFile::setPermissions(target.path(), QFile::ReadOwner | QFile::ExeOwner));
            TBackUpAccessFm fm;
            fm.chooseFolder(target.path());
            fm.backupClick();
            QFile::setPermissions(target.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        QCOMPARE(messenger.shown.size(), 1);
        QCOMPARE(messenger.shown[0].kind, QStringLiteral("error"));
        QVERIFY(!messenger.shown[0].text.contains(kSuccess));
        QVERIFY(!messenger.shown[0].text.isEmpty());
        QCOMPARE(bytes(old), QByteArray("the previous backup"));
        QCOMPARE(entries(target.path()), QStringList{QStringLiteral("book.mdb")});
    }

    void missingOrEmptyFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << ""
                               << "请选择要备份的位置.";
        QTest::newRow("missing") << "/nonexistent-tushu/备份"
                                 << "文件夹 /nonexistent-tushu/备份 不存在.";
    }
    void missingOrEmptyFolder()
    {
        QFETCH(QString, folder);
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const BackUpAccessRules::Result r = BackUpAccessRules(lib.db()).backup(folder);
        QVERIFY(!r.ok);
        QVERIFY(!r.refused);
        QTEST(r.message, "message");
    }

    void serverDatabaseIsNotCopied()
    {
        TUSHU_REQUIRE_ENGINE(TestLibrary::PostgreSQL);
        TestLibrary lib{TestLibrary::PostgreSQL, false, false};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir target;
        const BackUpAccessRules::Result r = BackUpAccessRules(lib.db()).backup(target.path());
        QVERIFY(!r.ok);
        QVERIFY(r.message.contains(QStringLiteral("pg_dump")));
        QVERIFY(entries(target.path()).isEmpty());
    }

    void screen()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir target;
        RecordingMessenger messenger;
        TBackUpAccessFm fm;
        QCOMPARE(fm.windowTitle(), QStringLiteral("备份数据"));
        QStringList labels;
        for (QLabel* l : fm.findChildren<QLabel*>())
            labels << l->text();
        QVERIFY(labels.contains(QStringLiteral("请选择好要备份的位置")));
        QVERIFY(labels.contains(QStringLiteral(
            "还原数据就是把备份好的数据文件拷贝到图书管理软件的安装目录下,覆盖book.mdb就可以了.")));
        QCOMPARE(fm.backupButton()->text(), QStringLiteral("备份"));
        QCOMPARE(fm.returnButton()->text(), QStringLiteral("返回"));

        fm.chooseFolder(target.path());
        QCOMPARE(fm.fileList()->count(), 0);
        fm.backupClick();
        QCOMPARE(messenger.texts(), QStringList{kSuccess});
        QCOMPARE(fm.fileList()->count(), 1);
        QCOMPARE(fm.fileList()->item(0)->text(), QStringLiteral("book.mdb"));

        messenger.clear();
        fm.chooseFolder(lib.dir());
        fm.backupClick();
        QCOMPARE(messenger.texts(), QStringList{kRefusal});
        QCOMPARE(messenger.shown[0].kind, QStringLiteral("information"));

        messenger.fileAnswers << target.path();
        fm.findChild<QPushButton*>(QStringLiteral("browseButton"))->click();
        QCOMPARE(QDir::fromNativeSeparators(fm.folderEdit()->text()), target.path());
    }
};

TUSHU_TEST(BackupTest)
#include "tst_Backup.moc"
