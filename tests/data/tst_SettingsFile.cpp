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

    // 学校 in GBK (D1 A7 D0 A3) is also valid UTF-8 ("ѧУ"): the file is GBK all the same.
    void gbkThatIsAlsoValidUtf8ReadsAsGbk()
    {
        const QByteArray gbk = TextCodec::toGbk(QStringLiteral("学校"));
        QCOMPARE(gbk, QByteArray("\xD1\xA7\xD0\xA3"));
        QCOMPARE(QString::fromUtf8(gbk), QStringLiteral("ѧУ"));
        QTemporaryDir dir;
        const QString path = writeFile(dir, "[part1]\r\nsoftname=" + gbk +
                                                "\r\nabc=a\r\ncsaccess=Data Source=book.mdb\r\n");
        LoginState state;
        state.readSettingsFile(SettingsFile(path));
        QCOMPARE(state.softname, QStringLiteral("学校"));

        // A write keeps the file GBK.
        QVERIFY(SettingsFile(path).write(QStringLiteral("part1"), QStringLiteral("BcCc"),
                                         QStringLiteral("1")));
        const QByteArray bytes = readFile(path);
        QVERIFY(bytes.contains("softname=" + gbk + "\r\n"));
        QVERIFY(bytes.contains("BcCc=1\r\n"));
        QCOMPARE(SettingsFile(path).read(QStringLiteral("part1"), QStringLiteral("softname"), {}),
                 QStringLiteral("学校"));
    }

    // Every character of GB2312, alone and doubled, reads back from a GBK file.
    void everyGb2312TextOfOneOrTwoCharactersReadsAsGbk()
    {
        QTemporaryDir dir;
        QStringList wrong;
        for (int lead = 0xB0; lead <= 0xF7; ++lead) {
            for (int trail = 0xA1; trail <= 0xFE; ++trail) {
                const QByteArray c{char(lead), char(trail)};
                const QString expected = TextCodec::fromGbk(c);
                for (const QByteArray& value : {c, c + c}) {
                    const QString path = writeFile(dir, "[part1]\r\nsoftname=" + value + "\r\n");
                    const QString read = SettingsFile(path).read(QStringLiteral("part1"),
                                                                 QStringLiteral("softname"), {});
                    if (read != TextCodec::fromGbk(value))
                        wrong << expected;
                }
            }
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.mid(0, 20).join(QLatin1Char(' '))));
    }

    void utf8ByMarkOrContent_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("softname");
        QTest::newRow("mark") << QByteArray("\xEF\xBB\xBF[part1]\nsoftname=") +
                                     QStringLiteral("Café 图书").toUtf8()
                              << QStringLiteral("Café 图书");
        QTest::newRow("Chinese text")
            << "[part1]\nsoftname=" + QStringLiteral("学校，图书馆").toUtf8()
            << QStringLiteral("学校，图书馆");
        // C3A9 E4B8 AD: the last byte cannot be GBK.
        QTest::newRow("not GBK") << "[part1]\nsoftname=" + QStringLiteral("Café中").toUtf8()
                                 << QStringLiteral("Café中");
    }
    void utf8ByMarkOrContent()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, softname);
        QTemporaryDir dir;
        const QString path = writeFile(dir, bytes);
        SettingsFile file(path);
        QCOMPARE(file.read(QStringLiteral("part1"), QStringLiteral("softname"), {}), softname);
        // Written back as UTF-8, the mark kept.
        QVERIFY(file.write(QStringLiteral("part1"), QStringLiteral("BcCc"), QStringLiteral("0")));
        QCOMPARE(file.read(QStringLiteral("part1"), QStringLiteral("softname"), {}), softname);
        QVERIFY(readFile(path).contains(softname.toUtf8()));
        QCOMPARE(readFile(path).startsWith("\xEF\xBB\xBF"), bytes.startsWith("\xEF\xBB\xBF"));
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
