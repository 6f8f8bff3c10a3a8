#include "../common/SheetFixtures.h"
#include "../common/TestMain.h"
#include "data/SpreadsheetReader.h"
#include "data/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <xlsxwriter.h>

namespace {
QByteArray xml(const char* body)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n") + body;
}

const char* kWorkbookRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"/xl/worksheets/second.xml\"/>"
    "<Relationship Id=\"rId3\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
    "Target=\"sharedStrings.xml\"/>"
    "<Relationship Id=\"rId4\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/></Relationships>";

QByteArray workbookXml(int activeTab, bool date1904)
{
    return xml(
        QStringLiteral(
            "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
            "<workbookPr date1904=\"%1\"/><bookViews><workbookView activeTab=\"%2\"/></bookViews>"
            "<sheets><sheet name=\"一\" sheetId=\"1\" r:id=\"rId1\"/>"
            "<sheet name=\"二\" sheetId=\"2\" r:id=\"rId2\"/></sheets></workbook>")
            .arg(date1904 ? 1 : 0)
            .arg(activeTab)
            .toUtf8()
            .constData());
}

const char* kStyles =
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<numFmts count=\"2\"><numFmt numFmtId=\"164\" "
    "formatCode=\"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;\"/>"
    "<numFmt numFmtId=\"165\" formatCode=\"0.00&quot;h&quot;\"/></numFmts>"
    "<cellXfs count=\"5\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/>"
    "<xf numFmtId=\"165\"/><xf numFmtId=\"58\"/></cellXfs></styleSheet>";

// Shared strings with a rich text run, a phonetic run that is not part of the text, and
// an escaped carriage return.
const char* kSharedStrings =
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"3\" "
    "uniqueCount=\"3\">"
    "<si><t>书名</t></si>"
    "<si><r><t>红</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\">楼 梦</t></r>"
    "<rPh sb=\"0\" eb=\"1\"><t>hong</t></rPh></si>"
    "<si><t>第一行_x000D_第二行</t></si></sst>";

QByteArray sheetXml(const char* sheetData)
{
    return xml(
        (QByteArray(
             "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
             "<sheetData>") +
         sheetData + "</sheetData></worksheet>")
            .constData());
}

// A workbook made by hand, part by part.
QList<std::pair<QString, QByteArray>> handMadeParts(const char* firstSheet, int activeTab = 0,
                                                    bool date1904 = false)
{
    return {
        {QStringLiteral("_rels/.rels"),
         xml("<Relationships "
             "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
             "<Relationship Id=\"rId1\" "
             "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
             "officeDocument\" "
             "Target=\"xl/workbook.xml\"/></Relationships>")},
        {QStringLiteral("xl/workbook.xml"), workbookXml(activeTab, date1904)},
        {QStringLiteral("xl/_rels/workbook.xml.rels"), xml(kWorkbookRels)},
        {QStringLiteral("xl/styles.xml"), xml(kStyles)},
        {QStringLiteral("xl/sharedStrings.xml"), xml(kSharedStrings)},
        {QStringLiteral("xl/worksheets/sheet1.xml"), sheetXml(firstSheet)},
        {QStringLiteral("xl/worksheets/second.xml"),
         sheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>第二张</t></is></c></row>")},
    };
}

QStringList rowTexts(const SpreadsheetReader& r, int row)
{
    QStringList out;
    for (int c = 1; c <= r.columnCount(); ++c)
        out << r.cell(row, c);
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
} // namespace

class SpreadsheetTest : public QObject
{
    Q_OBJECT
private slots:
    // A workbook written by another program (libxlsxwriter here) as an operator would fill
    // it: numbers in several formats, dates, long digit strings as text and as numbers.
    void readsXlsxValuesAsText_data()
    {
        QTest::addColumn<bool>("constantMemory"); // inline strings instead of shared ones
        QTest::newRow("shared strings") << false;
        QTest::newRow("inline strings") << true;
    }
    void readsXlsxValuesAsText()
    {
        QFETCH(bool, constantMemory);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("books.xlsx"));
        lxw_workbook_options options{};
        options.constant_memory = constantMemory;
        lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
        lxw_worksheet* s = workbook_add_worksheet(book, nullptr);
        lxw_format* isoDate = workbook_add_format(book);
        format_set_num_format(isoDate, "yyyy-mm-dd");
        lxw_format* builtinDate = workbook_add_format(book);
        format_set_num_format_index(builtinDate, 14);
        lxw_format* chineseDate = workbook_add_format(book);
        format_set_num_format(chineseDate, "yyyy\"年\"m\"月\"d\"日\" hh:mm");
        lxw_format* oneDecimal = workbook_add_format(book);
        format_set_num_format(oneDecimal, "0.0");
        lxw_format* hours = workbook_add_format(book);
        format_set_num_format(hours, "[Red]0.00\"h\"");
        const char* header[] = {"编号",     "名称",     "isbn", "价格", "入库时间",
                                "证件号码", "登记时间", "备注", "启用"};
        for (int c = 0; c < 9; ++c)
            worksheet_write_string(s, 0, lxw_col_t(c), header[c], nullptr);
        worksheet_write_string(s, 1, 0, "B0001", nullptr);
        worksheet_write_string(s, 1, 1, "红楼梦", nullptr);
        worksheet_write_number(s, 1, 2, 9787115113115.0, nullptr);
        worksheet_write_number(s, 1, 3, 29.8, nullptr);
        lxw_datetime d1{2008, 8, 8, 0, 0, 0};
        worksheet_write_datetime(s, 1, 4, &d1, isoDate);
        worksheet_write_string(s, 1, 5, "110101199001011234", nullptr);
        lxw_datetime d2{2024, 3, 5, 14, 30, 0};
        worksheet_write_datetime(s, 1, 6, &d2, chineseDate);
        worksheet_write_string(s, 1, 7, "say \"hi\", then go", nullptr);
        worksheet_write_boolean(s, 1, 8, 1, nullptr);
        worksheet_write_string(s, 2, 0, "B0002", nullptr);
        worksheet_write_number(s, 2, 2, 1001, oneDecimal);
        worksheet_write_number(s, 2, 3, 12.34, nullptr);
        lxw_datetime d3{2024, 12, 31, 0, 0, 0};
        worksheet_write_datetime(s, 2, 4, &d3, builtinDate);
        worksheet_write_number(s, 2, 6, 45000.0, hours);
        worksheet_write_boolean(s, 2, 8, 0, nullptr);
        worksheet_write_number(s, 4, 2, 1e-7, nullptr);
        worksheet_write_number(s, 4, 3, -12.5, nullptr);
        QCOMPARE(int(workbook_close(book)), int(LXW_NO_ERROR));

        QString error;
        const auto r = SpreadsheetReader::openFile(path, &error);
        QVERIFY2(r, qPrintable(error));
        QCOMPARE(r->rowCount(), 5);
        QCOMPARE(r->columnCount(), 9);
        QCOMPARE(rowTexts(*r, 1).join(QLatin1Char('|')),
                 QStringLiteral("编号|名称|isbn|价格|入库时间|证件号码|登记时间|备注|启用"));
        QCOMPARE(rowTexts(*r, 2),
                 (QStringList{QStringLiteral("B0001"), QStringLiteral("红楼梦"),
                              QStringLiteral("9787115113115"), QStringLiteral("29.8"),
                              QStringLiteral("2008-08-08"), QStringLiteral("110101199001011234"),
                              QStringLiteral("2024-03-05 14:30:00"),
                              QStringLiteral("say \"hi\", then go"), QStringLiteral("TRUE")}));
        QCOMPARE(rowTexts(*r, 3),
                 (QStringList{QStringLiteral("B0002"), QString(), QStringLiteral("1001"),
                              QStringLiteral("12.34"), QStringLiteral("2024-12-31"), QString(),
                              QStringLiteral("45000"), QString(), QStringLiteral("FALSE")}));
        QCOMPARE(rowTexts(*r, 4), QStringList(9, QString()));
        QCOMPARE(r->cell(5, 3), QStringLiteral("0.0000001"));
        QCOMPARE(r->cell(5, 4), QStringLiteral("-12.5"));
        // Outside the used range.
        QCOMPARE(r->cell(0, 1), QString());
        QCOMPARE(r->cell(6, 1), QString());
        QCOMPARE(r->cell(1, 10), QString());
    }

    // Parts the writers above never produce: the sheet the workbook opens on, the 1904 date
    // system, rich and phonetic text, cells and rows without references, typed texts.
    void readsHandMadeWorkbook_data()
    {
        QTest::addColumn<int>("activeTab");
        QTest::addColumn<bool>("date1904");
        QTest::addColumn<QString>("a1");
        QTest::addColumn<QString>("date");
        QTest::newRow("first sheet, 1900")
            << 0 << false << QStringLiteral("书名") << QStringLiteral("2023-03-15");
        QTest::newRow("first sheet, 1904")
            << 0 << true << QStringLiteral("书名") << QStringLiteral("2027-03-16");
        QTest::newRow("second sheet active") << 1 << false << QStringLiteral("第二张") << QString();
    }
    void readsHandMadeWorkbook()
    {
        QFETCH(int, activeTab);
        QFETCH(bool, date1904);
        QFETCH(QString, a1);
        QFETCH(QString, date);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("hand.xlsx"));
        QVERIFY(SheetFixtures::writeZip(
            path,
            handMadeParts("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c>"
                          "<c t=\"s\"><v>2</v></c></row>"
                          "<row><c r=\"A2\" s=\"1\"><v>45000</v></c><c s=\"2\"><v>45000.75</v></c>"
                          "<c s=\"3\"><v>12.5</v></c><c s=\"4\"><v>45000</v></c></row>"
                          "<row r=\"4\"><c r=\"B4\" t=\"d\"><v>2024-02-29T08:15:00</v></c>"
                          "<c r=\"C4\" t=\"str\"><f>A1&amp;\"x\"</f><v>书名x</v></c>"
                          "<c r=\"D4\" t=\"e\"><v>#N/A</v></c>"
                          "<c r=\"E4\" t=\"inlineStr\"><is><t>行内</t></is></c>"
                          "<c r=\"F4\" t=\"b\"><v>1</v></c>"
                          "<!-- a comment --><c r=\"G4\" t=\"inlineStr\"><is><t>A &amp; B "
                          "&lt;C&gt; &#x4E2D;&#25991;</t></is></c>"
                          "<c r=\"H4\" t=\"str\"><v><![CDATA[x<y & z]]></v></c></row>",
                          activeTab, date1904)));
        QString error;
        const auto r = SpreadsheetReader::openFile(path, &error);
        QVERIFY2(r, qPrintable(error));
        QCOMPARE(r->cell(1, 1), a1);
        if (activeTab == 1) {
            QCOMPARE(r->rowCount(), 1);
            QCOMPARE(r->columnCount(), 1);
            return;
        }
        QCOMPARE(r->cell(1, 2), QStringLiteral("红楼 梦"));
        QCOMPARE(r->cell(1, 3), QStringLiteral("第一行\r第二行"));
        QCOMPARE(r->cell(2, 1), date);
        QCOMPARE(r->cell(2, 2), date + QStringLiteral(" 18:00:00"));
        QCOMPARE(r->cell(2, 3), QStringLiteral("12.5")); // an "h" in quotes is no hour
        QCOMPARE(r->cell(2, 4), date);                   // built-in Chinese date format
        QCOMPARE(
            rowTexts(*r, 4).mid(1),
            (QStringList{QStringLiteral("2024-02-29 08:15:00"), QStringLiteral("书名x"),
                         QStringLiteral("#N/A"), QStringLiteral("行内"), QStringLiteral("TRUE"),
                         QStringLiteral("A & B <C> 中文"), QStringLiteral("x<y & z")}));
        QCOMPARE(r->rowCount(), 4);
        QCOMPARE(r->columnCount(), 8);
    }

    void dateFormats_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("isDate");
        QTest::newRow("general") << 0 << QString() << false;
        QTest::newRow("built-in 14") << 14 << QString() << true;
        QTest::newRow("built-in 22") << 22 << QString() << true;
        QTest::newRow("built-in 47") << 47 << QString() << true;
        QTest::newRow("built-in 49 text") << 49 << QString() << false;
        QTest::newRow("decimals") << 164 << QStringLiteral("0.00") << false;
        QTest::newRow("iso") << 164 << QStringLiteral("yyyy-mm-dd") << true;
        QTest::newRow("time") << 164 << QStringLiteral("h:mm") << true;
        QTest::newRow("quoted letters") << 164 << QStringLiteral("0\"天数\"\" sh\"") << false;
        QTest::newRow("colour and locale") << 164 << QStringLiteral("[Red][$-804]0.00") << false;
        QTest::newRow("escaped") << 164 << QStringLiteral("0\\d") << false;
        QTest::newRow("locale then date")
            << 164 << QStringLiteral("[$-F800]dddd, mmmm dd, yyyy") << true;
    }
    void dateFormats()
    {
        QFETCH(int, id);
        QFETCH(QString, code);
        QFETCH(bool, isDate);
        QCOMPARE(SheetText::isDateFormat(id, code), isDate);
    }

    void numberText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("isbn") << 9787115113115.0 << QStringLiteral("9787115113115");
        QTest::newRow("whole with .0") << 1001.0 << QStringLiteral("1001");
        QTest::newRow("negative zero") << -0.0 << QStringLiteral("0");
        QTest::newRow("decimal") << 29.8 << QStringLiteral("29.8");
        QTest::newRow("tiny") << 1e-7 << QStringLiteral("0.0000001");
        QTest::newRow("huge") << 1e20 << QStringLiteral("100000000000000000000");
    }
    void numberText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(SheetText::number(value), text);
    }

    void csvInEitherEncoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString text = QStringLiteral(
            "读者编号,姓名,备注\r\n110101199001011234,张三,\"他说\"\"好\"\", 然后\n走了\"\r\n"
            "R0002,李四,\r\n,,\r\n0012,\"王,五\",末尾\n");
        QTest::newRow("utf-8") << text.toUtf8();
        QTest::newRow("utf-8 with bom") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        QTest::newRow("gbk") << TextCodec::toGbk(text);
    }
    void csvInEitherEncoding()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("readers.csv"));
        QVERIFY(writeFile(path, bytes));
        QString error;
        const auto r = SpreadsheetReader::openFile(path, &error);
        QVERIFY2(r, qPrintable(error));
        QCOMPARE(r->rowCount(), 5);
        QCOMPARE(r->columnCount(), 3);
        QCOMPARE(rowTexts(*r, 1), (QStringList{QStringLiteral("读者编号"), QStringLiteral("姓名"),
                                               QStringLiteral("备注")}));
        QCOMPARE(rowTexts(*r, 2),
                 (QStringList{QStringLiteral("110101199001011234"), QStringLiteral("张三"),
                              QStringLiteral("他说\"好\", 然后\n走了")}));
        QCOMPARE(rowTexts(*r, 3),
                 (QStringList{QStringLiteral("R0002"), QStringLiteral("李四"), QString()}));
        QCOMPARE(rowTexts(*r, 4), QStringList(3, QString()));
        QCOMPARE(rowTexts(*r, 5), (QStringList{QStringLiteral("0012"), QStringLiteral("王,五"),
                                               QStringLiteral("末尾")}));
    }

    void readsLegacyXls()
    {
        const QString path = QFINDTESTDATA("data/fixtures/books.xls");
        QVERIFY(!path.isEmpty());
        QString error;
        const auto r = SpreadsheetReader::openFile(path, &error);
        QVERIFY2(r, qPrintable(error));
        QCOMPARE(r->rowCount(), 4);
        QCOMPARE(r->columnCount(), 6);
        QCOMPARE(rowTexts(*r, 1).join(QLatin1Char('|')),
                 QStringLiteral("编号|名称|价格|入库时间|isbn|备注"));
        QCOMPARE(rowTexts(*r, 2), (QStringList{QStringLiteral("B0001"), QStringLiteral("红楼梦"),
                                               QStringLiteral("29.8"), QStringLiteral("2008-08-08"),
                                               QStringLiteral("9787115113115"),
                                               QStringLiteral("say \"hi\", then go")}));
        QCOMPARE(
            rowTexts(*r, 3),
            (QStringList{QStringLiteral("B0002"), QStringLiteral("Café 测试"), QStringLiteral("12"),
                         QStringLiteral("2024-03-05 14:30:00"), QString(), QString()}));
        QCOMPARE(rowTexts(*r, 4),
                 (QStringList{QStringLiteral("B0003"), QString(), QStringLiteral("1001"),
                              QStringLiteral("2024-12-31"), QStringLiteral("0.1"), QString()}));
    }

    void readsActiveSheetOfLegacyXls()
    {
        const QString path = QFINDTESTDATA("data/fixtures/books_second_active.xls");
        QVERIFY(!path.isEmpty());
        QString error;
        const auto r = SpreadsheetReader::openFile(path, &error);
        QVERIFY2(r, qPrintable(error));
        QCOMPARE(r->rowCount(), 1);
        QCOMPARE(r->columnCount(), 1);
        QCOMPARE(r->cell(1, 1), QStringLiteral("不该读到"));
    }

    // Number cells of identity columns keep every digit, however many there are.
    void longNumbersReadExactly_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("18-digit id")
            << QStringLiteral("110101199001011234") << QStringLiteral("110101199001011234");
        QTest::newRow("16 digits")
            << QStringLiteral("1234567890123457") << QStringLiteral("1234567890123457");
        QTest::newRow("negative 17")
            << QStringLiteral("-12345678901234567") << QStringLiteral("-12345678901234567");
        QTest::newRow("isbn") << QStringLiteral("9787115113115") << QStringLiteral("9787115113115");
        QTest::newRow("written as a double")
            << QStringLiteral("9787115113115.0") << QStringLiteral("9787115113115");
    }
    void longNumbersReadExactly()
    {
        QFETCH(QString, value);
        QFETCH(QString, text);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ids.xlsx"));
        QVERIFY(SheetFixtures::writeZip(
            path, handMadeParts(QStringLiteral("<row r=\"1\"><c r=\"A1\"><v>%1</v></c></row>")
                                    .arg(value)
                                    .toUtf8()
                                    .constData())));
        QString error;
        const auto r = SpreadsheetReader::openFile(path, &error);
        QVERIFY2(r, qPrintable(error));
        QCOMPARE(r->cell(1, 1), text);
    }

    // Every file below must fail with a message naming the file, and never crash.
    void damagedFilesGiveAnError_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected"); // part of the message

        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("good.xlsx"));
        SheetFixtures::writeZip(
            good, handMadeParts("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>"));
        QFile f(good);
        f.open(QIODevice::ReadOnly);
        const QByteArray workbook = f.readAll();
        for (int percent : {10, 50, 90, 99})
            QTest::addRow("xlsx cut at %d%%", percent)
                << QStringLiteral("cut.xlsx") << workbook.left(workbook.size() * percent / 100)
                << QStringLiteral("已损坏或不完整");
        QByteArray scrambled = workbook;
        // The compressed bytes of the parts sit in the first half; the directory stays.
        for (qsizetype i = 200; i < scrambled.size() / 2; i += 7)
            scrambled[i] = char(scrambled[i] ^ 0x5A);
        QTest::newRow("xlsx with scrambled parts")
            << QStringLiteral("bad.xlsx") << scrambled << QStringLiteral("已损坏");
        QTest::newRow("empty xlsx") << QStringLiteral("empty.xlsx") << QByteArray()
                                    << QStringLiteral("不是有效的 Excel 工作簿");
        QTest::newRow("text named xlsx") << QStringLiteral("text.xlsx") << QByteArray("编号,名称\n")
                                         << QStringLiteral("不是有效的 Excel 工作簿");
        QTest::newRow("picture") << QStringLiteral("cover.png")
                                 << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                                 << QStringLiteral("只能读取");
        QFile xls(QFINDTESTDATA("data/fixtures/books.xls"));
        xls.open(QIODevice::ReadOnly);
        const QByteArray legacy = xls.readAll();
        QTest::newRow("xls cut short")
            << QStringLiteral("cut.xls") << legacy.left(1500) << QStringLiteral("cut.xls");
        QTest::newRow("xls header only")
            << QStringLiteral("head.xls") << legacy.left(512) << QStringLiteral("head.xls");
        // A directory entry whose name claims more than the entry's 64 bytes, beside a
        // Workbook entry without a first sector: FreeXL read past its copy of the entry.
        QFile second(QFINDTESTDATA("data/fixtures/books_second_active.xls"));
        second.open(QIODevice::ReadOnly);
        QByteArray longName = second.readAll();
        for (qsizetype at : {0x4F4, 0x4F5, 0x4F6, 0x4F7, 0x541})
            longName[at] = char(0xFF);
        QTest::newRow("xls directory name longer than its entry")
            << QStringLiteral("name.xls") << longName << QStringLiteral("已损坏或不完整");
        QTest::newRow("csv with binary") << QStringLiteral("bin.csv") << QByteArray("a,b\0c", 5)
                                         << QStringLiteral("不是文本格式");
    }
    void damagedFilesGiveAnError()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QVERIFY(writeFile(path, bytes));
        QString error;
        const auto r = SpreadsheetReader::openFile(path, &error);
        QVERIFY(!r);
        QVERIFY2(error.contains(name), qPrintable(error));
        QVERIFY2(error.contains(expected), qPrintable(error));
    }

    // The inputs the fuzz targets once stopped on (tests/data/fuzz/TARGET): each opens, or
    // fails with a message that names it (under the sanitizers of the fuzz build, tools/fuzz.sh
    // runs them again as seeds).
    void fuzzFindingsOpenOrSayWhy()
    {
        const QDir findings(QFINDTESTDATA("data/fuzz"));
        QVERIFY(findings.exists());
        int files = 0;
        for (const QFileInfo& kind : findings.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            for (const QFileInfo& file : QDir(kind.filePath()).entryInfoList(QDir::Files)) {
                ++files;
                QString error;
                const auto reader = SpreadsheetReader::openFile(file.filePath(), &error);
                if (!reader)
                    QVERIFY2(error.contains(QDir::toNativeSeparators(file.filePath())),
                             qPrintable(error));
            }
        }
        QVERIFY(files > 0);
    }

    // Workbooks whose zip is sound but whose content is not.
    void damagedPartsGiveAnError_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<bool>("dropWorkbook");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unclosed element")
            << QStringLiteral("<row r=\"1\"><c r=\"A1\"><v>1</v></row>") << false
            << QStringLiteral("sheet1.xml");
        QTest::newRow("shared string out of range")
            << QStringLiteral("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>99</v></c></row>") << false
            << QStringLiteral("共享字符串 99");
        QTest::newRow("bad reference")
            << QStringLiteral("<row r=\"1\"><c r=\"1A\"><v>1</v></c></row>") << false
            << QStringLiteral("单元格 1A");
        QTest::newRow("row beyond the sheet")
            << QStringLiteral("<row r=\"99999999\"><c><v>1</v></c></row>") << false
            << QStringLiteral("行号");
        QTest::newRow("no workbook part")
            << QStringLiteral("<row r=\"1\"/>") << true << QStringLiteral("workbook.xml");
    }
    void damagedPartsGiveAnError()
    {
        QFETCH(QString, sheet);
        QFETCH(bool, dropWorkbook);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("parts.xlsx"));
        const QByteArray sheetBytes = sheet.toUtf8();
        auto parts = handMadeParts(sheetBytes.constData());
        if (dropWorkbook)
            parts.removeAt(1);
        QVERIFY(SheetFixtures::writeZip(path, parts));
        QString error;
        XlsxReader r;
        QVERIFY(!r.open(path, &error));
        QVERIFY2(error.contains(expected), qPrintable(error));
        QCOMPARE(r.rowCount(), 0);
    }

    // Compound files whose header declares more than the file can hold (sectors of 64 KiB,
    // an allocation table without end, a DIFAT chain pointing to itself) are refused at
    // once with a message, before anything is allocated by those counts.
    void hostileCompoundFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        for (int shift : {16, 15, 13, 12, 9})
            QTest::addRow("sectors of 2^%d bytes", shift)
                << SheetFixtures::hostileCompoundFile(shift);
        // A count the file can hold, but the DIFAT chain that lists the table loops.
        QByteArray looping = SheetFixtures::hostileCompoundFile(12);
        looping[0x2C] = char(200);
        looping[0x2D] = looping[0x2E] = looping[0x2F] = 0;
        QTest::newRow("looping difat") << looping;
    }
    void hostileCompoundFilesAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("hostile.xls"));
        QVERIFY(writeFile(path, bytes));
        QString error;
        QVERIFY(!SpreadsheetReader::openFile(path, &error));
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("已损坏或不完整")), qPrintable(error));
    }

    // Whatever a reader runs out of memory on is a refused file with a message.
    void exhaustedMemoryIsARefusal()
    {
        struct Exhausting : SpreadsheetReader
        {
            bool open(const QString&, QString*) override
            {
                setCell(1, 1, QStringLiteral("读到一半"));
                throw std::bad_alloc();
            }
        } reader;
        QString error;
        QVERIFY(!SpreadsheetReader::openRefusingExhaustion(reader, QStringLiteral("/tmp/big.xlsx"),
                                                           &error));
        QVERIFY2(error.contains(QStringLiteral("big.xlsx")), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("内存")), qPrintable(error));
        QCOMPARE(reader.rowCount(), 0);
    }

    // Excel's limits: a cell holds at most 32,767 characters, a part inflates no further than
    // its content can need. Beyond them the file is refused at once, never read on.
    void xlsxBeyondExcelLimits_data()
    {
        QTest::addColumn<int>("where");
        QTest::addColumn<qint64>("blanks");
        QTest::addColumn<bool>("opens");
        const int inCell = int(SheetFixtures::Inflating::InCell);
        const int betweenRows = int(SheetFixtures::Inflating::BetweenRows);
        QTest::newRow("cell of 32,767") << inCell << qint64(32767) << true;
        QTest::newRow("cell of 32,768") << inCell << qint64(32768) << false;
        QTest::newRow("cell of 200 MiB") << inCell << (qint64(200) << 20) << false;
        QTest::newRow("300 KiB between rows") << betweenRows << (qint64(300) << 10) << true;
        QTest::newRow("200 MiB between rows") << betweenRows << (qint64(200) << 20) << false;
    }
    void xlsxBeyondExcelLimits()
    {
        QFETCH(int, where);
        QFETCH(qint64, blanks);
        QFETCH(bool, opens);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("inflating.xlsx"));
        QVERIFY(
            SheetFixtures::writeInflatingWorkbook(path, SheetFixtures::Inflating(where), blanks));
        QVERIFY(QFileInfo(path).size() < 4 << 20);
        QString error;
        const auto r = SpreadsheetReader::openFile(path, &error);
        QCOMPARE(bool(r), opens);
        if (opens) {
            QCOMPARE(r->cell(3, 2), QStringLiteral("末行"));
            QCOMPARE(r->cell(2, 2).size(), where == int(SheetFixtures::Inflating::InCell)
                                               ? qsizetype(blanks)
                                               : qsizetype(0));
            return;
        }
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("Excel")), qPrintable(error));
    }

    // A shared string beyond the cell limit is refused as well, also when made of runs each
    // within it.
    void sharedStringBeyondTheCellLimit()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("strings.xlsx"));
        auto parts = handMadeParts("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>");
        for (auto& [name, content] : parts)
            if (name == QStringLiteral("xl/sharedStrings.xml"))
                content =
                    xml(("<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/"
                         "main\"><si><t>" +
                         QByteArray(20000, 'a') + "</t></si><si><r><t>" + QByteArray(20000, 'b') +
                         "</t></r><r><t>" + QByteArray(20000, 'c') + "</t></r></si></sst>")
                            .constData());
        QVERIFY(SheetFixtures::writeZip(path, parts));
        QString error;
        QVERIFY(!SpreadsheetReader::openFile(path, &error));
        QVERIFY2(error.contains(QStringLiteral("32767")), qPrintable(error));
    }

    // The same limits for text files: a field without end, a line of endless commas, more
    // lines than a worksheet has; each refused with the reason, the limits themselves read.
    void csvBeyondExcelLimits_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected"); // part of the message; empty: opens
        QTest::newRow("field of 32,767") << "编号,名称\r\n1," + QByteArray(32767, 'x') + "\r\n"
                                         << QString();
        QTest::newRow("gbk field of 32,767")
            << "1," + TextCodec::toGbk(QString(32767, QChar(0x4E66))) << QString();
        QTest::newRow("field of 32,768")
            << "1," + QByteArray(32768, 'x') << QStringLiteral("超过 32767 个字符");
        QTest::newRow("utf-8 field of 32,768")
            << "1," + QString(32768, QChar(0x4E66)).toUtf8() << QStringLiteral("超过 32767 个字符");
        QTest::newRow("quote never closed")
            << "1,\"" + QByteArray(1 << 20, 'y') << QStringLiteral("第 1 行第 2 列");
        QTest::newRow("16,384 columns") << QByteArray(16383, ',') + "z" << QString();
        QTest::newRow("endless commas") << QByteArray(1 << 20, ',') << QStringLiteral("16384 列");
        QByteArray lines;
        for (int i = 0; i < 1048576; ++i)
            lines += "a\n";
        QTest::newRow("1,048,576 lines") << lines << QString();
        QTest::newRow("one line more") << lines + "a" << QStringLiteral("1048576 行");
        QTest::newRow("endless empty lines")
            << QByteArray(4 << 20, '\n') << QStringLiteral("1048576 行");
    }
    void csvBeyondExcelLimits()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("long.csv"));
        QVERIFY(writeFile(path, bytes));
        QString error;
        const auto r = SpreadsheetReader::openFile(path, &error);
        if (expected.isEmpty()) {
            QVERIFY2(r, qPrintable(error));
            QVERIFY(r->rowCount() > 0);
            return;
        }
        QVERIFY(!r);
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
        QVERIFY2(error.contains(expected), qPrintable(error));
    }

    void missingFile()
    {
        QTemporaryDir dir;
        QString error;
        QVERIFY(!SpreadsheetReader::openFile(dir.filePath(QStringLiteral("nowhere.xlsx")), &error));
        QVERIFY2(error.contains(QStringLiteral("nowhere.xlsx")), qPrintable(error));
    }
};

TUSHU_TEST(SpreadsheetTest)
#include "tst_Spreadsheet.moc"
