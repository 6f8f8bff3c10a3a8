#include "../common/TestMain.h"
#include "data/LoginState.h"
#include "data/SettingsFile.h"
#include "data/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString writeFile(const QTemporaryDir& dir, const QByteArray& bytes)
{
    const QString path = QDir(dir.path()).absoluteFilePath(QStringLiteral("de.ini"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}
} // namespace

class SettingsFileTest : public QObject
{
    Q_OBJECT
private slots:
    void readsGbkWithoutRegardToCase()
    {
        QTemporaryDir dir;
        const QString path = writeFile(
            dir, TextCodec::toGbk(QStringLiteral("[PART1]\r\nSoftName = 阳光图书馆\r\nABC=s\r\n"
                                                 "cs=Provider=PostgreSQL;Data Source=db1\r\n"
                                                 "WinA=yes\r\n[posprt]\r\nposport=0\r\n")));
        SettingsFile file(path);
        QCOMPARE(file.read(QStringLiteral("part1"), QStringLiteral("softname"), QString()),
                 QStringLiteral("阳光图书馆"));
        QCOMPARE(file.read(QStringLiteral("part1"), QStringLiteral("missing"), QStringLiteral("0")),
                 QStringLiteral("0"));
        QCOMPARE(file.read(QStringLiteral("nosection"), QStringLiteral("abc"), QStringLiteral("a")),
                 QStringLiteral("a"));
        QVERIFY(!file.isOn(QStringLiteral("part1"), QStringLiteral("WinA"))); // only "1" is on

        LoginState state;
        state.readSettingsFile(file);
        QCOMPARE(state.DbKind, QStringLiteral("s"));
        QCOMPARE(state.ConnectionString, QStringLiteral("Provider=PostgreSQL;Data Source=db1"));
        QCOMPARE(state.PosPort, QStringLiteral("LPT1"));
        QCOMPARE(state.JieChuHouDaYin, QStringLiteral("0"));
        QCOMPARE(state.softname, QStringLiteral("阳光图书馆"));
    }

    void missingFileGivesDefaults()
    {
        QTemporaryDir dir;
        SettingsFile file(QDir(dir.path()).absoluteFilePath(QStringLiteral("de.ini")));
        LoginState state;
        state.readSettingsFile(file);
        QCOMPARE(state.DbKind, QStringLiteral("a"));
        QCOMPARE(state.ConnectionString, QStringLiteral("0"));
        QCOMPARE(state.PosPort, QStringLiteral("LPT1"));
    }

    void readsUtf8File()
    {
        QTemporaryDir dir;
        const QString path =
            writeFile(dir, QStringLiteral("[part1]\nsoftname=图书管理系统\n").toUtf8());
        QCOMPARE(
            SettingsFile(path).read(QStringLiteral("part1"), QStringLiteral("softname"), QString()),
            QStringLiteral("图书管理系统"));
    }

    void writeKeepsOtherLinesAndStoresGbk()
    {
        QTemporaryDir dir;
        const QString path = writeFile(
            dir, "; installed\r\n[part1]\r\nabc=a\r\ntel=1\r\n\r\n[PosPrt]\r\nPosPort=COM2\r\n");
        SettingsFile file(path);
        QString error;
        QVERIFY(file.write(QStringLiteral("PART1"), QStringLiteral("ABC"), QStringLiteral("s"),
                           &error));
        QVERIFY(file.write(QStringLiteral("part1"), QStringLiteral("softname"),
                           QStringLiteral("图书"), &error));
        QVERIFY(
            file.write(QStringLiteral("new"), QStringLiteral("k"), QStringLiteral("v"), &error));
        const QByteArray bytes = readFile(path);
        QVERIFY(bytes.contains("; installed"));
        QVERIFY(bytes.contains("ABC=s\r\n"));
        QVERIFY(!bytes.contains("abc=a"));
        QVERIFY(bytes.contains(TextCodec::toGbk(QStringLiteral("softname=图书"))));
        QCOMPARE(file.read(QStringLiteral("part1"), QStringLiteral("tel"), QString()),
                 QStringLiteral("1"));
        QCOMPARE(file.read(QStringLiteral("posprt"), QStringLiteral("posport"), QString()),
                 QStringLiteral("COM2"));
        QCOMPARE(file.read(QStringLiteral("new"), QStringLiteral("K"), QString()),
                 QStringLiteral("v"));
        // The new key stands inside its section, before the next one.
        QVERIFY(bytes.indexOf("softname") < bytes.indexOf("[PosPrt]"));
        // Written with owner-only permissions: de.ini may hold a database password.
        QCOMPARE(QFile(path).permissions() & (QFile::ReadGroup | QFile::ReadOther),
                 QFileDevice::Permissions());
    }

    void failedWriteIsReported()
    {
        SettingsFile file(QStringLiteral("/nonexistent-folder/de.ini"));
        QString error;
        QVERIFY(!file.write(QStringLiteral("part1"), QStringLiteral("abc"), QStringLiteral("a"),
                            &error));
        QVERIFY(!error.isEmpty());
    }
};

TUSHU_TEST(SettingsFileTest)
#include "tst_SettingsFile.moc"
