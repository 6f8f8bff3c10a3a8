#include "../common/TestMain.h"
#include "data/Database.h"

#include <QTest>

// Dates and times read back from the database in the forms the engines return them.
class StoredDatesTest : public QObject
{
    Q_OBJECT
private slots:
    void readsStoredForms_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QDateTime>("expected");
        const QDate d(2026, 3, 2);
        QTest::newRow("date text") << QVariant(QStringLiteral("2026-03-02")) << d.startOfDay();
        QTest::newRow("date-time text")
            << QVariant(QStringLiteral("2026-03-02 17:30:05")) << QDateTime(d, QTime(17, 30, 5));
        QTest::newRow("ISO date-time")
            << QVariant(QStringLiteral("2026-03-02T17:30:05")) << QDateTime(d, QTime(17, 30, 5));
        QTest::newRow("blanks around")
            << QVariant(QStringLiteral(" 2026-03-02 ")) << d.startOfDay();
        QTest::newRow("with fraction") << QVariant(QStringLiteral("2026-03-02 17:30:05.250"))
                                       << QDateTime(d, QTime(17, 30, 5));
        QTest::newRow("QDate") << QVariant(d) << d.startOfDay();
        QTest::newRow("no such day") << QVariant(QStringLiteral("2026-02-30")) << QDateTime();
        // A time that is no time keeps the date.
        QTest::newRow("no such hour")
            << QVariant(QStringLiteral("2026-03-02 25:00:00")) << d.startOfDay();
        QTest::newRow("not digits") << QVariant(QStringLiteral("20x6-03-02")) << QDateTime();
        QTest::newRow("sign in year") << QVariant(QStringLiteral("-026-03-02")) << QDateTime();
        QTest::newRow("empty") << QVariant(QString()) << QDateTime();
        QTest::newRow("null") << QVariant() << QDateTime();
    }
    void readsStoredForms()
    {
        QFETCH(QVariant, stored);
        QFETCH(QDateTime, expected);
        QCOMPARE(DbValue::dateTimeOrNull(stored), expected);
        QCOMPARE(DbValue::dateOrNull(stored), expected.date());
    }
};

TUSHU_TEST(StoredDatesTest)
#include "tst_StoredDates.moc"
