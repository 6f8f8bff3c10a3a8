#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "CirculationFixture.h"
#include "circulation/Reservations.h"
#include "circulation/ReserveUt.h"
#include "circulation/RowsGrid.h"

#include <QPushButton>
#include <QTest>

namespace {
const QDateTime kUntil(QDate(2026, 3, 9), QTime(17, 30, 5));

// Books B1 (reserved by R7 until kUntil), B2 (free), B3 (only an end time left over),
// B4 (reserved, no end time) and a periodical Q1 reserved by R8.
void addReservedItems(const Database& db)
{
    Fixture::Item b;
    b.reservedBy = QStringLiteral("R7");
    b.reservedUntil = kUntil;
    Fixture::addItem(db, b);
    b = {};
    b.number = QStringLiteral("B2");
    b.barcode = QStringLiteral("690002");
    Fixture::addItem(db, b);
    b = {};
    b.number = QStringLiteral("B3");
    b.barcode = QStringLiteral("690003");
    b.reservedUntil = kUntil;
    Fixture::addItem(db, b);
    b = {};
    b.number = QStringLiteral("B4");
    b.title = QStringLiteral("水浒");
    b.barcode = QStringLiteral("690004");
    b.reservedBy = QStringLiteral("R9");
    Fixture::addItem(db, b);
    Fixture::Item q;
    q.table = QStringLiteral("期刊");
    q.number = QStringLiteral("Q1");
    q.reservedBy = QStringLiteral("R8");
    q.reservedUntil = kUntil;
    Fixture::addItem(db, q);
}

int reservedIn(const Database& db, const QString& table)
{
    return Fixture::intOf(db, QStringLiteral("select count(*) from %1 where 预定状况 is not null "
                                             "or 预定到期时间 is not null")
                                  .arg(table));
}
} // namespace

class ReservationsTest : public QObject
{
    Q_OBJECT
private slots:
    void engines_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }

    void listShowsReservedBooksOnly_data() { engines_data(); }
    void listShowsReservedBooksOnly()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addReservedItems(lib.db());
        QList<ReservedBook> list = Reservations::list(lib.db());
        std::sort(list.begin(), list.end(),
                  [](const ReservedBook& a, const ReservedBook& b) { return a.编号 < b.编号; });
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[0].编号, QStringLiteral("B1"));
        QCOMPARE(list[0].名称, QStringLiteral("三国"));
        QCOMPARE(list[0].条形码, QStringLiteral("690001"));
        QCOMPARE(list[0].预定状况, QStringLiteral("R7"));
        QCOMPARE(list[0].预定到期时间, kUntil);
        QCOMPARE(list[1].编号, QStringLiteral("B4"));
        QVERIFY(!list[1].预定到期时间.isValid());
    }

    // "取消全部预定" clears both columns of every book in one go, and no periodical.
    void clearAllClearsEveryBookReservation_data() { engines_data(); }
    void clearAllClearsEveryBookReservation()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        addReservedItems(lib.db());
        RecordingMessenger messenger;
        TReserveFm screen(lib.db());
        screen.show();
        QCOMPARE(screen.grid->rowCount(), 2);
        QCOMPARE(screen.grid->columnCount(), 5);
        QCOMPARE(screen.grid->horizontalHeaderItem(3)->text(), QStringLiteral("预定状况"));

        QTest::mouseClick(screen.clearAllButton, Qt::LeftButton);
        QCOMPARE(screen.grid->rowCount(), 0);
        QVERIFY(messenger.shown.isEmpty());
        QCOMPARE(reservedIn(lib.db(), QStringLiteral("图书")), 0);
        QCOMPARE(reservedIn(lib.db(), QStringLiteral("期刊")), 1);
        QCOMPARE(Fixture::intOf(lib.db(), QStringLiteral("select count(*) from 图书")), 4);

        // Nothing left: clearing again changes nothing.
        QCOMPARE(Reservations::clearAll(lib.db()), 0);
        QCOMPARE(reservedIn(lib.db(), QStringLiteral("期刊")), 1);

        // "刷新" shows a reservation placed meanwhile by another program.
        lib.db().execute(QStringLiteral("update 图书 set 预定状况 = ? where 编号 = ?"),
                         {QStringLiteral("R1"), QStringLiteral("B2")});
        QTest::mouseClick(screen.refreshButton, Qt::LeftButton);
        QCOMPARE(screen.grid->rowCount(), 1);
        QCOMPARE(screen.grid->currentRowTexts().value(0), QStringLiteral("B2"));
    }
};

TUSHU_TEST(ReservationsTest)
#include "tst_Reservations.moc"
