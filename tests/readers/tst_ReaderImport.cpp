#include "../common/RecordingMessenger.h"
#include "../common/SheetFixtures.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "data/LoginState.h"
#include "data/SpreadsheetReader.h"
#include "readers/InExcelRdUt.h"
#include "readers/ReaderImport.h"
#include "readers/ReaderRules.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kOperator = QStringLiteral("李管理");

QVariantList titleRow()
{
    QVariantList row;
    for (const ImportColumn& c : ReaderImport::layout().columns)
        row << c.caption;
    return row;
}

void addEngines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}
} // namespace

class ReaderImportTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        LoginState::reset();
        LoginState::instance().OperatorName = kOperator;
    }
    void cleanup() { LoginState::reset(); }

    void importsReadersWithFixedValues_data() { addEngines(); }
    void importsReadersWithFixedValues()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("insert into 读者库 (读者编号, 读者姓名) values (?, ?)"),
                         {QStringLiteral("R2"), QStringLiteral("老读者")});
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("readers.xlsx"));
        QVERIFY(SheetFixtures::writeWorkbook(
            path,
            {titleRow(),
             {QStringLiteral("R1 "), QStringLiteral(" 王小明"), QStringLiteral("男"),
              QStringLiteral("普通"), QStringLiteral("三年级"), QStringLiteral("北京路1号"),
              QByteArray("13912345678"), QStringLiteral("一班"), QStringLiteral("文学院"),
              QStringLiteral("身份证"), QStringLiteral("110101199001011234"),
              QStringLiteral("备注\n第二行")},
             {QStringLiteral("R2"), QStringLiteral("重号")},
             {QStringLiteral("R3"), QStringLiteral("科学计数"), QString(), QString(), QString(),
              QString(), QString(), QString(), QString(), QString(), QStringLiteral("1.10101E+17")},
             {QStringLiteral("R4"), QStringLiteral("赵六")}}));
        QString error;
        const auto sheet = SpreadsheetReader::openFile(path, &error);
        QVERIFY2(sheet, qPrintable(error));
        const SheetImport::Result result =
            SheetImport(lib.db(), ReaderImport::layout()).run(*sheet, false);
        QVERIFY2(result.stored(), qPrintable(result.error));
        QCOMPARE(result.failedRowsText(), QStringLiteral("3,4,"));
        QCOMPARE(result.imported, 2);

        QSqlQuery q = lib.db().query(QStringLiteral("select * from 读者库 where 读者编号 = ?"),
                                     {QStringLiteral("R1")});
        QVERIFY(q.next());
        const QSqlRecord r = q.record();
        auto value = [&](const char* c) { return q.value(r.indexOf(QString::fromUtf8(c))); };
        QCOMPARE(value("读者姓名").toString(), QStringLiteral("王小明"));
        QCOMPARE(value("性别").toString(), QStringLiteral("男"));
        QCOMPARE(value("类别").toString(), QStringLiteral("普通"));
        QCOMPARE(value("单位部门").toString(), QStringLiteral("三年级"));
        QCOMPARE(value("住址").toString(), QStringLiteral("北京路1号"));
        QCOMPARE(value("联系电话").toString(), QStringLiteral("13912345678"));
        QCOMPARE(value("班级").toString(), QStringLiteral("一班"));
        QCOMPARE(value("院系").toString(), QStringLiteral("文学院"));
        QCOMPARE(value("有效证件").toString(), QStringLiteral("身份证"));
        QCOMPARE(value("证件号码").toString(), QStringLiteral("110101199001011234"));
        QCOMPARE(value("备注").toString(), QStringLiteral("备注\n第二行"));
        QCOMPARE(DbValue::toInt(value("累计借阅次数")), 0);
        QCOMPARE(DbValue::toInt(value("未还数量")), 0);
        QCOMPARE(DbValue::toDate(value("有效期")), ReaderRules::noExpiry());
        QCOMPARE(value("状态").toString(), QStringLiteral("正常"));
        QCOMPARE(value("密码").toString(), QString::fromLatin1(kDefaultPassword));
        QCOMPARE(DbValue::toMoney(value("卡内金额")), Money());
        QCOMPARE(value("登记人").toString(), kOperator + QStringLiteral("导入的"));
        QVERIFY(value("登记日期").isNull());
        QVERIFY(value("py").isNull());
    }

    // A school's sheet saved with ID numbers in number cells: those rows are listed with
    // what to do, the others are in, and no stored number differs from what the sheet shows.
    void idNumbersInNumberCells_data() { addEngines(); }
    void idNumbersInNumberCells()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        auto reader = [](const QVariant& number, const QVariant& phone, const QVariant& id) {
            return QVariantList{number,    QStringLiteral("读者"),
                                QString(), QString(),
                                QString(), QString(),
                                phone,     QString(),
                                QString(), QStringLiteral("身份证"),
                                id};
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("readers.xlsx"));
        QVERIFY(SheetFixtures::writeWorkbook(
            path,
            {titleRow(), reader(4567, 13912345678.0, QStringLiteral("110101199001011234")), // 2
             reader(QStringLiteral("R2"), QVariant(), QByteArray("1.10101199001011E+17")),  // 3
             reader(QStringLiteral("R3"), QByteArray("110101199001011234"), QVariant()),    // 4
             reader(QByteArray("1234567890123456"), QVariant(), QVariant()),                // 5
             reader(QStringLiteral("R5"), QVariant(), 110101199001011.0)}));                // 6
        QString error;
        const auto sheet = SpreadsheetReader::openFile(path, &error);
        QVERIFY2(sheet, qPrintable(error));
        const SheetImport::Result result =
            SheetImport(lib.db(), ReaderImport::layout()).run(*sheet, false);
        QVERIFY2(result.stored(), qPrintable(result.error));
        QCOMPARE(result.failedRowsText(), QStringLiteral("3,4,5,"));
        QVERIFY2(result.failed.value(3).startsWith(QStringLiteral("证件号码")),
                 qPrintable(result.failed.value(3)));
        QVERIFY2(result.failed.value(4).startsWith(QStringLiteral("联系电话")),
                 qPrintable(result.failed.value(4)));
        QVERIFY2(result.failed.value(5).startsWith(QStringLiteral("读者编号")),
                 qPrintable(result.failed.value(5)));
        for (int row : {3, 4, 5})
            QVERIFY2(result.failed.value(row).contains(QStringLiteral("文本格式")),
                     qPrintable(result.failed.value(row)));
        QSqlQuery q = lib.db().query(
            QStringLiteral("select 读者编号, 联系电话, 证件号码 from 读者库 order by 读者编号"));
        QStringList stored;
        while (q.next())
            stored << QStringList{q.value(0).toString(), q.value(1).toString(),
                                  q.value(2).toString()}
                          .join(QLatin1Char('|'));
        QCOMPARE(stored, (QStringList{QStringLiteral("4567|13912345678|110101199001011234"),
                                      QStringLiteral("R5||110101199001011")}));
    }

    void screenListsTheTwelveColumns()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("readers.xlsx"));
        QVERIFY(SheetFixtures::writeWorkbook(path, {titleRow(),
                                                    {QStringLiteral("x"), QStringLiteral("甲")},
                                                    {QStringLiteral("x"), QStringLiteral("乙")},
                                                    {QStringLiteral("x"), QStringLiteral("丙")}}));
        RecordingMessenger messages;
        TInExcelRdFm screen;
        screen.show();
        QCOMPARE(screen.windowTitle(), QStringLiteral("读者资料Excel导入"));
        auto* fields = screen.findChild<QListWidget*>(QStringLiteral("fieldsList"));
        QCOMPARE(fields->count(), 12);
        QCOMPARE(fields->item(11)->text(), QStringLiteral("备注"));
        messages.fileAnswers.enqueue(path);
        screen.chooseClick();
        screen.findChild<QCheckBox*>(QStringLiteral("autoNumberCheck"))->setChecked(true);
        screen.startClick();
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("完成!")});
        QStringList numbers;
        QSqlQuery q =
            lib.db().query(QStringLiteral("select 读者编号 from 读者库 order by 读者编号"));
        while (q.next())
            numbers << q.value(0).toString();
        QCOMPARE(numbers,
                 (QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}));
        // A second run of the same file fails on every row.
        messages.clear();
        messages.fileAnswers.enqueue(path);
        screen.chooseClick();
        screen.startClick();
        QCOMPARE(screen.findChild<QPlainTextEdit*>(QStringLiteral("failedRowsEdit"))->toPlainText(),
                 QStringLiteral("2,3,4,"));
    }
};
TUSHU_TEST(ReaderImportTest)

#include "tst_ReaderImport.moc"
