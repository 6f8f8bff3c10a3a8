#include "../common/MarcFixtures.h"
#include "../common/TestMain.h"
#include "marc/MarcMapping.h"
#include "marc/MarcReader.h"

#include <QDir>
#include <QTest>

namespace {

const QString kCnmarcUtf8 = QStringLiteral("00000nam0 2200000   450 \n"
                                           "001 cn-u-1\n"
                                           "010    $a 9787302123453 $d CNY28.00\n"
                                           "100    $a 20060101d2006    em y0chiy50      ea\n"
                                           "200 1  $a 数据结构 $f 严蔚敏编著\n"
                                           "210    $a 北京 $c 清华大学出版社 $d 2006\n"
                                           "215    $a 334页\n"
                                           "690    $a TP311.12\n"
                                           "\n");

// No field 100: the record does not say how it is encoded.
const QString kCnmarcUndeclared = QStringLiteral("00000nam0 2200000   450 \n"
                                                 "001 cn-x-1\n"
                                                 "200 1  $a 围城 $f 钱锺书著\n"
                                                 "690    $a I246.5\n"
                                                 "\n");

const QString kMarc21 =
    QStringLiteral("00000nam a2200000 a 4500\n"
                   "001 m21-1\n"
                   "020    $a 9780131103627 (pbk.) $c USD45.00\n"
                   "100 1  $a Kernighan, Brian W.\n"
                   "245 10 $a The C programming language / $c Brian W. Kernighan.\n"
                   "250    $a 2nd ed.\n"
                   "260    $a Englewood Cliffs : $b Prentice Hall, $c [1988].\n"
                   "300    $a 272 p. ; $c 24 cm.\n"
                   "520    $a Café 计算机 summary.\n"
                   "082 00 $a 005.13\n"
                   "700 1  $a Ritchie, Dennis M. $e translator.\n"
                   "852    $h QA76.73 $i C15 $p B0001\n"
                   "\n"
                   "00000nam a2200000 i 4500\n"
                   "001 m21-2\n"
                   "020    $a 0-201-63361-2\n"
                   "245 10 $a Design patterns : $b elements of reusable software.\n"
                   "264  1 $a Reading : $b Addison-Wesley, $c 1995.\n"
                   "084    $a TP311.5 $2 clc\n"
                   "050 00 $a QA76.64\n"
                   "952    $p B0002 $o TP311.5/7\n"
                   "952    $p B0003 $o TP311.5/7\n"
                   "\n");

enum Fixture
{
    CnmarcGbk,
    CnmarcUtf8,
    Marc21Marc8,
    Marc21Utf8,
    CnmarcXml,
};

QByteArray fixture(Fixture f)
{
    switch (f) {
    case CnmarcGbk:
        return MarcFixtures::iso2709(MarcFixtures::cnmarcShipment(), "gb18030");
    case CnmarcUtf8:
        return MarcFixtures::iso2709(kCnmarcUtf8, "utf-8");
    case Marc21Marc8: {
        // MARC-8 is declared by a blank leader position 9.
        QString lines = kMarc21;
        lines.replace(QStringLiteral("nam a22"), QStringLiteral("nam  22"));
        return MarcFixtures::iso2709(lines, "marc8");
    }
    case Marc21Utf8:
        return MarcFixtures::iso2709(kMarc21, "utf-8");
    case CnmarcXml:
        return MarcFixtures::marcXml(MarcFixtures::cnmarcShipment());
    }
    return {};
}

std::vector<MarcEntry> readAll(const QByteArray& data, const MarcReadOptions& options = {},
                               QString* error = nullptr)
{
    std::vector<MarcEntry> out;
    QString e;
    const bool ok = MarcReader::forEach(
        data, options, [&](MarcEntry&& entry) { out.push_back(entry); }, &e);
    if (error)
        *error = e;
    else if (!ok)
        qWarning("%s", qPrintable(e));
    return out;
}

// A valid ISO 2709 record of two fields whose bytes the hostile cases then change.
QByteArray sampleRecord()
{
    return MarcFixtures::iso2709(QStringLiteral("00000nam0 2200000   450 \n"
                                                "001 ok-1\n"
                                                "200 1  $a 标题 $f 作者\n"
                                                "\n"),
                                 "utf-8");
}

void setNumber(QByteArray& record, int at, int width, int value)
{
    record.replace(at, width, QByteArray::number(value).rightJustified(width, '0'));
}

} // namespace

class MarcReaderTest : public QObject
{
    Q_OBJECT
private slots:
    // What every fixture record gives in the columns of 图书.
    void recordsGiveTheirColumns_data()
    {
        QTest::addColumn<int>("fixture");
        QTest::addColumn<int>("record");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, Fixture f, int record, const char* column,
                      const char* expected) {
            QTest::newRow(name) << int(f) << record << QString::fromUtf8(column)
                                << QString::fromUtf8(expected);
        };
        row("cn gbk isbn", CnmarcGbk, 0, "isbn", "978-7-115-11311-5");
        row("cn gbk price", CnmarcGbk, 0, "价格", "35.00");
        row("cn gbk title", CnmarcGbk, 0, "名称", "计算机网络");
        row("cn gbk author", CnmarcGbk, 0, "作者", "谢希仁编著");
        row("cn gbk translator", CnmarcGbk, 0, "译者", "张三译");
        row("cn gbk edition", CnmarcGbk, 0, "版次", "第2版");
        row("cn gbk publisher", CnmarcGbk, 0, "出版社", "电子工业出版社");
        row("cn gbk date", CnmarcGbk, 0, "出版时间", "2004");
        row("cn gbk pages", CnmarcGbk, 0, "页数", "235");
        row("cn gbk summary", CnmarcGbk, 0, "简介", "本书介绍计算机网络的原理。");
        row("cn gbk class from 905", CnmarcGbk, 0, "分类号", "TP393.0");
        row("cn gbk barcode", CnmarcGbk, 0, "条形码", "00012345");
        row("cn gbk zch", CnmarcGbk, 0, "zch", "12");
        row("cn gbk copies", CnmarcGbk, 0, "数量", "2");
        row("cn gbk price in yuan", CnmarcGbk, 1, "价格", "59.70");
        row("cn gbk second title", CnmarcGbk, 1, "名称", "红楼梦");
        row("cn gbk second barcode", CnmarcGbk, 1, "条形码", "00012347");
        row("cn utf8 title", CnmarcUtf8, 0, "名称", "数据结构");
        row("cn utf8 class from 690", CnmarcUtf8, 0, "分类号", "TP311.12");
        row("cn utf8 no holdings", CnmarcUtf8, 0, "条形码", "");
        row("cn xml title", CnmarcXml, 0, "名称", "计算机网络");
        row("cn xml barcode", CnmarcXml, 0, "条形码", "00012345");
        for (const Fixture f : {Marc21Marc8, Marc21Utf8}) {
            const bool m8 = f == Marc21Marc8;
            auto r = [&](const char* name, int record, const char* column, const char* expected) {
                row(qPrintable(QStringLiteral("%1 %2").arg(m8 ? "m21 marc8" : "m21 utf8", name)), f,
                    record, column, expected);
            };
            r("isbn without qualifier", 0, "isbn", "9780131103627");
            r("price", 0, "价格", "45.00");
            r("title without ISBD", 0, "名称", "The C programming language");
            r("author from 100", 0, "作者", "Kernighan, Brian W");
            r("translator from 700", 0, "译者", "Ritchie, Dennis M");
            r("edition", 0, "版次", "2nd ed");
            r("publisher 260", 0, "出版社", "Prentice Hall");
            r("date without brackets", 0, "出版时间", "1988");
            r("pages", 0, "页数", "272");
            r("summary with accent and CJK", 0, "简介", "Café 计算机 summary.");
            r("class from 852", 0, "分类号", "QA76.73");
            r("cutter is no zch", 0, "zch", "");
            r("barcode 852", 0, "条形码", "B0001");
            r("copies", 0, "数量", "1");
            r("publisher 264", 1, "出版社", "Addison-Wesley");
            r("class from 952 call number", 1, "分类号", "TP311.5");
            r("zch from 952 call number", 1, "zch", "7");
            r("barcode 952", 1, "条形码", "B0002");
            r("copies 952", 1, "数量", "2");
            r("no translator", 1, "译者", "");
        }
    }
    void recordsGiveTheirColumns()
    {
        QFETCH(int, fixture);
        QFETCH(int, record);
        QFETCH(QString, column);
        QFETCH(QString, expected);
        const QByteArray data = ::fixture(Fixture(fixture));
        QVERIFY(!data.isEmpty());
        const std::vector<MarcEntry> entries = readAll(data);
        QVERIFY(int(entries.size()) > record);
        const MarcEntry& e = entries[record];
        QVERIFY2(e.read(), qPrintable(e.refusal));
        QCOMPARE(MarcMapping::columns(e.record, e.format).value(column), expected);
    }

    // The character set comes from the record where it says, from the choice where not.
    void encodingIsDetected_data()
    {
        QTest::addColumn<int>("fixture");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("encoding");
        QTest::newRow("cnmarc 100 says GB")
            << int(CnmarcGbk) << int(MarcFormat::Cnmarc) << int(MarcEncoding::Gb18030);
        QTest::newRow("cnmarc 100 says unicode")
            << int(CnmarcUtf8) << int(MarcFormat::Cnmarc) << int(MarcEncoding::Utf8);
        QTest::newRow("marc21 leader blank")
            << int(Marc21Marc8) << int(MarcFormat::Marc21) << int(MarcEncoding::Marc8);
        QTest::newRow("marc21 leader a")
            << int(Marc21Utf8) << int(MarcFormat::Marc21) << int(MarcEncoding::Utf8);
    }
    void encodingIsDetected()
    {
        QFETCH(int, fixture);
        QFETCH(int, format);
        QFETCH(int, encoding);
        // The choice differs from every detected encoding, so it cannot have been taken.
        MarcReadOptions options;
        options.undeclared =
            encoding == int(MarcEncoding::Utf8) ? MarcEncoding::Marc8 : MarcEncoding::Utf8;
        const std::vector<MarcEntry> entries = readAll(::fixture(Fixture(fixture)), options);
        QVERIFY(!entries.empty());
        for (const MarcEntry& e : entries) {
            QVERIFY2(e.read(), qPrintable(e.refusal));
            QCOMPARE(int(e.format), format);
            QCOMPARE(int(e.encoding), encoding);
        }
    }

    // A GBK record near the length ISO 2709 allows grows past it in UTF-8: it is read whole
    // all the same, every field and its text.
    void recordLongerInUtf8IsReadWhole()
    {
        const QString part = QString(3000, QChar(0x4E66)); // 书, two bytes in GBK, three in UTF-8
        QString lines = QStringLiteral("00000nam0 2200000   450 \n"
                                       "001 long-1\n"
                                       "100    $a 20060101d2006    em y0chiy0110    ea\n"
                                       "200 1  $a 长记录\n");
        for (int i = 0; i < 12; ++i)
            lines += QStringLiteral("330    $a %1%2\n").arg(i).arg(part);
        lines += QLatin1Char('\n');
        const QByteArray gbk = MarcFixtures::iso2709(lines, "gb18030");
        QVERIFY(gbk.size() > 70000 && gbk.size() <= 99999);
        QVERIFY(lines.toUtf8().size() > 99999);
        const std::vector<MarcEntry> entries = readAll(gbk);
        QCOMPARE(entries.size(), size_t(1));
        const MarcEntry& e = entries.front();
        QVERIFY2(e.read(), qPrintable(e.refusal));
        QCOMPARE(int(e.encoding), int(MarcEncoding::Gb18030));
        QCOMPARE(e.record.value(QStringLiteral("200"), QLatin1Char('a')), QStringLiteral("长记录"));
        const QList<const MarcField*> summaries = e.record.fieldsOf(QStringLiteral("330"));
        QCOMPARE(summaries.size(), 12);
        for (int i = 0; i < 12; ++i)
            QCOMPARE(summaries[i]->value(QLatin1Char('a')), QString::number(i) + part);
    }

    void undeclaredEncodingIsTheOperatorsChoice()
    {
        const QByteArray gbk = MarcFixtures::iso2709(kCnmarcUndeclared, "gb18030");
        QVERIFY(!gbk.isEmpty());
        MarcReadOptions options;
        options.undeclared = MarcEncoding::Gb18030;
        std::vector<MarcEntry> entries = readAll(gbk, options);
        QCOMPARE(entries.size(), size_t(1));
        QCOMPARE(int(entries[0].encoding), int(MarcEncoding::Gb18030));
        QCOMPARE(entries[0].record.value(QStringLiteral("200"), QLatin1Char('a')),
                 QStringLiteral("围城"));
        options.undeclared = MarcEncoding::Utf8;
        entries = readAll(gbk, options);
        QCOMPARE(entries.size(), size_t(1));
        QCOMPARE(int(entries[0].encoding), int(MarcEncoding::Utf8));
        QVERIFY(entries[0].record.value(QStringLiteral("200"), QLatin1Char('a')) !=
                QStringLiteral("围城"));
    }

    void formatChosenOrToldByTitleField()
    {
        const QByteArray data = MarcFixtures::iso2709(QStringLiteral("00000nam  2200000   450 \n"
                                                                     "001 none-1\n"
                                                                     "300    $a 无题名\n\n"),
                                                      "utf-8");
        std::vector<MarcEntry> entries = readAll(data);
        QCOMPARE(entries.size(), size_t(1));
        QVERIFY(entries[0].refusal.contains(QStringLiteral("请选择格式")));
        MarcReadOptions options;
        options.format = MarcFormat::Marc21;
        entries = readAll(data, options);
        QVERIFY2(entries[0].read(), qPrintable(entries[0].refusal));
        QCOMPARE(int(entries[0].format), int(MarcFormat::Marc21));
    }

    // Records that lie about themselves are refused with a reason; the record after them
    // is still read, and nothing outside the bytes is touched.
    void hostileRecordsAreRefused_data()
    {
        QTest::addColumn<int>("mutation");
        QTest::addColumn<QString>("reason");
        QTest::newRow("length beyond the file") << 0 << QStringLiteral("超出了文件");
        QTest::newRow("length shorter than the record") << 1 << QStringLiteral("结束符");
        QTest::newRow("length not digits") << 2 << QStringLiteral("不是数字");
        QTest::newRow("base address beyond record") << 3 << QStringLiteral("数据基地址");
        QTest::newRow("field starts beyond record") << 4 << QStringLiteral("超出了记录");
        QTest::newRow("field runs past record") << 5 << QStringLiteral("超出了记录");
        QTest::newRow("endless subfield") << 6 << QStringLiteral("结束符");
        QTest::newRow("directory not whole entries") << 7 << QStringLiteral("目次");
        QTest::newRow("leader lengths not digits") << 8 << QStringLiteral("头标");
        QTest::newRow("directory entry not digits") << 9 << QStringLiteral("不是数字");
        QTest::newRow("subfield identifier length not 2") << 10 << QStringLiteral("标识符长度");
    }
    void hostileRecordsAreRefused()
    {
        QFETCH(int, mutation);
        QFETCH(QString, reason);
        const QByteArray good = sampleRecord();
        QVERIFY(good.size() > 40);
        QByteArray bad = good;
        const int base = good.mid(12, 5).toInt();
        // The directory's first entry (001) at 24: tag, 4 digits length, 5 digits start.
        switch (mutation) {
        case 0:
            setNumber(bad, 0, 5, 99999);
            break;
        case 1:
            setNumber(bad, 0, 5, int(good.size()) - 5);
            break;
        case 2:
            bad.replace(0, 5, "12a45");
            break;
        case 3:
            setNumber(bad, 12, 5, int(good.size()) + 10);
            break;
        case 4:
            setNumber(bad, 24 + 7, 5, int(good.size()));
            break;
        case 5:
            setNumber(bad, 24 + 3, 4, int(good.size()) - base + 3);
            break;
        case 6: // the last field loses its terminator: its subfield runs to the record's end
            bad[bad.size() - 2] = 'x';
            break;
        case 7:
            bad.insert(24, "2");
            setNumber(bad, 0, 5, int(bad.size()));
            setNumber(bad, 12, 5, base + 1);
            break;
        case 8:
            bad[20] = 'x';
            break;
        case 9:
            bad[24 + 4] = 'z';
            break;
        case 10: // YAZ would read past each subfield
            bad[11] = '7';
            break;
        }
        const std::vector<MarcEntry> entries = readAll(good + bad + good);
        QCOMPARE(entries.size(), size_t(3));
        QVERIFY(!entries[1].read());
        QVERIFY2(entries[1].refusal.contains(reason), qPrintable(entries[1].refusal));
        for (const int i : {0, 2}) {
            QVERIFY2(entries[i].read(), qPrintable(entries[i].refusal));
            QCOMPARE(entries[i].record.control(QStringLiteral("001")), QStringLiteral("ok-1"));
            QCOMPARE(entries[i].number, i + 1);
        }
    }

    // The inputs the fuzz target once stopped on, and its seeds (tests/data/fuzz/marc): each
    // file is read or refused with a message, each record read or refused with one.
    void fuzzFindingsReadOrSayWhy()
    {
        const QDir findings(QFINDTESTDATA("data/fuzz/marc"));
        QVERIFY(findings.exists());
        const QFileInfoList files = findings.entryInfoList(QDir::Files);
        QVERIFY(!files.isEmpty());
        for (const QFileInfo& file : files) {
            QString error;
            int refused = 0;
            const bool ok = MarcReader::forEachInFile(
                file.filePath(), {},
                [&](MarcEntry&& e) {
                    if (!e.read())
                        ++refused;
                    QVERIFY(e.read() || !e.refusal.isEmpty());
                },
                &error);
            QVERIFY2(ok || !error.isEmpty(), qPrintable(file.fileName()));
            if (file.fileName().contains(QLatin1String("identifier-length")))
                QCOMPARE(refused, 1);
        }
    }

    void filesThatAreNoMarcAreRefused_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("编号,名称\nA1,书\n");
        QTest::newRow("other xml") << QByteArray("<?xml version=\"1.0\"?><html><p/></html>");
        QTest::newRow("broken xml") << QByteArray("<collection><record><leader>");
    }
    void filesThatAreNoMarcAreRefused()
    {
        QFETCH(QByteArray, data);
        QString error;
        const std::vector<MarcEntry> entries = readAll(data, {}, &error);
        QVERIFY(entries.empty());
        QVERIFY(!error.isEmpty());
    }
};
TUSHU_TEST(MarcReaderTest)

#include "tst_MarcReader.moc"
