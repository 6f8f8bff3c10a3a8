#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "CirculationFixture.h"
#include "circulation/BorrowOptBkUt.h"
#include "circulation/BorrowOptRdUt.h"
#include "circulation/BorrowPickers.h"
#include "circulation/RowsGrid.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <map>
#include <memory>

namespace {
struct NamedReader
{
    const char* number;
    const char* name;
    const char* py;
};

// Names chosen so that a wildcard or quote taken as SQL would find more (or other) rows.
const NamedReader kReaders[] = {
    {"R100", "张伟", "ZW"},     {"R101", "王芳", "WF"}, {"R102", "a%b", ""}, {"R103", "axb", ""},
    {"R104", "O'Brien\"x", ""}, {"R105", "a_b", ""},    {"R106", "acb", ""}, {"R107", "a\\b", ""},
};

void addReaders(const Database& db)
{
    for (const NamedReader& r : kReaders) {
        Fixture::Reader reader;
        reader.number = QString::fromUtf8(r.number);
        reader.name = QString::fromUtf8(r.name);
        Fixture::addReader(db, reader);
        db.execute(QStringLiteral("update 读者库 set py = ? where 读者编号 = ?"),
                   {QString::fromUtf8(r.py), reader.number});
    }
}

// A book B1 三国 (py SG), a book B2 水浒 (py SH) and a periodical Q1 读者 (py DZ).
void addItems(const Database& db)
{
    Fixture::Item b;
    Fixture::addItem(db, b);
    b.number = QStringLiteral("B2");
    b.title = QStringLiteral("水浒");
    b.barcode = QStringLiteral("690002");
    Fixture::addItem(db, b);
    Fixture::Item q;
    q.table = QStringLiteral("期刊");
    q.number = QStringLiteral("Q1");
    q.title = QStringLiteral("读者");
    q.barcode = QStringLiteral("977100");
    Fixture::addItem(db, q);
    for (const auto& [table, number, py] :
         {std::tuple{"图书", "B1", "SG"}, std::tuple{"图书", "B2", "SH"},
          std::tuple{"期刊", "Q1", "DZ"}})
        db.execute(
            QStringLiteral("update %1 set py = ? where 编号 = ?").arg(QString::fromUtf8(table)),
            {QString::fromUtf8(py), QString::fromUtf8(number)});
}

QStringList keysOf(const PickerRows& rows, int column)
{
    QStringList out;
    for (const QStringList& r : rows.rows)
        out << r.value(column);
    out.sort();
    return out;
}
} // namespace

class BorrowPickersTest : public QObject
{
    Q_OBJECT
    std::map<int, std::unique_ptr<TestLibrary>> readerLibraries_;

private slots:
    void cleanupTestCase() { readerLibraries_.clear(); }

    void readersFound_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<bool>("byNumber");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        const struct
        {
            const char* tag;
            bool byNumber;
            const char* text;
            QStringList expected;
        } cases[] = {
            {"name part", false, "伟", {"R100"}},
            {"initials lower case", false, "zw", {"R100"}},
            {"one initial", false, "W", {"R100", "R101"}},
            {"percent is literal", false, "a%b", {"R102"}},
            {"lone percent", false, "%", {"R102"}},
            {"underscore is literal", false, "a_b", {"R105"}},
            {"backslash is literal", false, "a\\b", {"R107"}},
            {"single quote", false, "O'B", {"R104"}},
            {"double quote", false, "\"x", {"R104"}},
            {"no match", false, "李", {}},
            {"number part", true, "01", {"R101"}},
            {"number prefix",
             true,
             "R10",
             {"R100", "R101", "R102", "R103", "R104", "R105", "R106", "R107"}},
            {"number with quote", true, "R1' or '1'='1", {}},
            {"number wildcard", true, "R_00", {}},
        };
        for (int engine : {int(TestLibrary::SQLite), int(TestLibrary::PostgreSQL)})
            for (const auto& c : cases)
                QTest::addRow("%s %s", engine == TestLibrary::SQLite ? "sqlite" : "postgresql",
                              c.tag)
                    << engine << c.byNumber << QString::fromUtf8(c.text) << c.expected;
    }
    void readersFound()
    {
        QFETCH(int, engine);
        QFETCH(bool, byNumber);
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        TUSHU_REQUIRE_ENGINE(engine);
        // One library of readers per engine serves every row.
        auto& lib = readerLibraries_[engine];
        if (!lib) {
            lib = std::make_unique<TestLibrary>(TestLibrary::Engine(engine), false, false);
            QVERIFY2(lib->ok(), qPrintable(lib->error()));
            addReaders(lib->db());
        }
        const PickerRows rows = byNumber ? BorrowPicker::readersByNumber(lib->db(), text)
                                         : BorrowPicker::readersByName(lib->db(), text);
        QCOMPARE(keysOf(rows, 0), expected);
        QCOMPARE(rows.columns.size(), 18);
        QCOMPARE(rows.columns.first(), QStringLiteral("读者编号"));
        QCOMPARE(rows.columns.last(), QStringLiteral("登记人"));
    }

    // Only the list shown on opening is limited; a search returns every match.
    void initialListIsLimited()
    {
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().transaction([&] {
            for (int i = 0; i < BorrowPicker::kInitialRows + 5; ++i) {
                Fixture::Reader r;
                r.number = QStringLiteral("X%1").arg(i, 4, 10, QLatin1Char('0'));
                Fixture::addReader(lib.db(), r);
            }
        });
        QCOMPARE(BorrowPicker::readersInitial(lib.db()).rows.size(), BorrowPicker::kInitialRows);
        QCOMPARE(BorrowPicker::readersByNumber(lib.db(), QStringLiteral("X")).rows.size(),
                 BorrowPicker::kInitialRows + 5);
        QCOMPARE(BorrowPicker::readersByName(lib.db(), QStringLiteral("张三")).rows.size(),
                 BorrowPicker::kInitialRows + 5);
    }

    void itemsFoundInChosenTable_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }
    void itemsFoundInChosenTable()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addItems(lib.db());
        const QString books = QStringLiteral("图书"), periodicals = QStringLiteral("期刊");
        QCOMPARE(keysOf(BorrowPicker::itemsInitial(lib.db(), books), 0),
                 (QStringList{QStringLiteral("B1"), QStringLiteral("B2")}));
        QCOMPARE(keysOf(BorrowPicker::itemsInitial(lib.db(), periodicals), 0),
                 QStringList{QStringLiteral("Q1")});
        QCOMPARE(keysOf(BorrowPicker::itemsByName(lib.db(), books, QStringLiteral("s")), 0),
                 (QStringList{QStringLiteral("B1"), QStringLiteral("B2")}));
        QCOMPARE(keysOf(BorrowPicker::itemsByName(lib.db(), books, QStringLiteral("水")), 0),
                 QStringList{QStringLiteral("B2")});
        QCOMPARE(keysOf(BorrowPicker::itemsByName(lib.db(), periodicals, QStringLiteral("dz")), 0),
                 QStringList{QStringLiteral("Q1")});
        QCOMPARE(keysOf(BorrowPicker::itemsByNumber(lib.db(), books, QStringLiteral("2")), 0),
                 QStringList{QStringLiteral("B2")});
        QCOMPARE(keysOf(BorrowPicker::itemsByNumber(lib.db(), books, QStringLiteral("B%")), 0),
                 QStringList{});
        const PickerRows q = BorrowPicker::itemsInitial(lib.db(), periodicals);
        QCOMPARE(q.columns, (QStringList{QStringLiteral("编号"), QStringLiteral("名称"),
                                         QStringLiteral("分类"), QStringLiteral("条形码"),
                                         QStringLiteral("存放位置"), QStringLiteral("出版社")}));
        QCOMPARE(BorrowPicker::itemKey(q.rows.value(0), QStringLiteral("编号")),
                 QStringLiteral("Q1"));
        QCOMPARE(BorrowPicker::itemKey(q.rows.value(0), QStringLiteral("条形码")),
                 QStringLiteral("977100"));
        QCOMPARE(BorrowPicker::itemKey({}, QStringLiteral("条形码")), QString());
        // Only the two item tables may be searched.
        QVERIFY_THROWS_EXCEPTION(DbError,
                                 BorrowPicker::itemsInitial(lib.db(), QStringLiteral("读者库")));
    }

    // The reader picker hands the chosen number to the callback while it is still open,
    // then closes; an empty grid hands back an empty number.
    void readerPickerHandsBackChosenNumber()
    {
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addReaders(lib.db());
        RecordingMessenger messenger;
        QStringList handed;
        bool openWhileHanded = false;
        QPointer<TBorrowOptRdFm> picker;
        picker = new TBorrowOptRdFm(lib.db(), [&](const QString& number) {
            handed << number;
            openWhileHanded = picker && picker->isVisible();
        });
        picker->show();
        QCOMPARE(picker->windowTitle(), QStringLiteral("选择"));
        QCOMPARE(picker->grid()->rowCount(), int(std::size(kReaders)));
        QTest::keyClicks(picker->nameEdit(), QStringLiteral("zw"));
        QTest::keyClick(picker->nameEdit(), Qt::Key_Return);
        QCOMPARE(picker->grid()->rowCount(), 1);
        QTest::mouseClick(picker->chooseButton(), Qt::LeftButton);
        QCOMPARE(handed, QStringList{QStringLiteral("R100")});
        QVERIFY(openWhileHanded);
        QTRY_VERIFY(!picker);

        picker = new TBorrowOptRdFm(lib.db(), [&](const QString& number) { handed << number; });
        picker->show();
        QVERIFY(picker->nameEdit()->text().isEmpty());
        QTest::keyClicks(picker->numberEdit(), QStringLiteral("none"));
        QTest::keyClick(picker->numberEdit(), Qt::Key_Return);
        QCOMPARE(picker->grid()->rowCount(), 0);
        QTest::mouseClick(picker->chooseButton(), Qt::LeftButton);
        QCOMPARE(handed, (QStringList{QStringLiteral("R100"), QString()}));
        QTRY_VERIFY(!picker);

        // "返回(&R)" hands back nothing.
        picker = new TBorrowOptRdFm(lib.db(), [&](const QString& number) { handed << number; });
        picker->show();
        QTest::mouseClick(picker->backButton(), Qt::LeftButton);
        QCOMPARE(handed.size(), 2);
        QTRY_VERIFY(!picker);
        QVERIFY(messenger.shown.isEmpty());
    }

    // The item picker lists the lending screen's table and hands back its key column.
    void itemPickerHandsBackKeyOfLendingScreen_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("book by number") << "图书"
                                        << "编号"
                                        << "sh"
                                        << "B2";
        QTest::newRow("book by barcode") << "图书"
                                         << "条形码"
                                         << "水"
                                         << "690002";
        QTest::newRow("periodical by barcode") << "期刊"
                                               << "条形码"
                                               << "读"
                                               << "977100";
    }
    void itemPickerHandsBackKeyOfLendingScreen()
    {
        QFETCH(QString, table);
        QFETCH(QString, key);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        TestLibrary lib(TestLibrary::SQLite, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addItems(lib.db());
        QString handed;
        QPointer<TBorrowOptBkFm> picker =
            new TBorrowOptBkFm(lib.db(), table, key, [&](const QString& v) { handed = v; });
        picker->show();
        picker->nameEdit()->setText(typed);
        QTest::keyClick(picker->nameEdit(), Qt::Key_Return);
        QCOMPARE(picker->grid()->rowCount(), 1);
        QTest::mouseClick(picker->chooseButton(), Qt::LeftButton);
        QCOMPARE(handed, expected);
        QTRY_VERIFY(!picker);
    }
};

TUSHU_TEST(BorrowPickersTest)
#include "tst_BorrowPickers.moc"
