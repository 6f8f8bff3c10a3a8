#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "CirculationFixture.h"
#include "circulation/Renewal.h"
#include "circulation/XuJieUt.h"
#include "data/Clock.h"
#include "data/LoginState.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlRecord>
#include <QTest>

namespace {
const QDate kLent(2026, 3, 1);

// A loan of item to reader lent on kLent; returned ("是") or open ("否").
qint64 addLoan(Database& db, const QString& reader, const QString& item, const QString& returned,
               const QDate& due)
{
    Fixture::Loan loan;
    loan.reader = reader;
    loan.item = item;
    loan.lent = kLent;
    loan.due = due;
    const qint64 id = Fixture::addLoan(db, loan);
    db.execute(QStringLiteral("update 借出记录 set 已还 = ? where id = ?"), {returned, id});
    return id;
}

// Every value of every loan row, by id, as text.
QMap<qint64, QStringList> loanRows(Database& db)
{
    QMap<qint64, QStringList> out;
    QSqlQuery q = db.query(QStringLiteral("select * from 借出记录 order by id"));
    while (q.next()) {
        QStringList values;
        const QSqlRecord rec = q.record();
        for (int i = 0; i < rec.count(); ++i)
            values << rec.fieldName(i) + QLatin1Char('=') + q.value(i).toString();
        out.insert(q.value(QStringLiteral("id")).toLongLong(), values);
    }
    return out;
}

QDate dueOf(Database& db, qint64 id)
{
    return DbValue::toDate(
        db.scalar(QStringLiteral("select 应还日期 from 借出记录 where id = ?"), {id}));
}

// Three loans of B0001 to R0001 (returned, open, open), one to R0002, one other item.
struct Loans
{
    qint64 returned, first, second, otherReader, otherItem;
};

Loans addLoans(Database& db)
{
    const QDate due = kLent.addDays(14);
    return {
        addLoan(db, QStringLiteral("R0001"), QStringLiteral("B0001"), QStringLiteral("是"), due),
        addLoan(db, QStringLiteral("R0001"), QStringLiteral("B0001"), QStringLiteral("否"), due),
        addLoan(db, QStringLiteral("R0001"), QStringLiteral("B0001"), QStringLiteral("否"),
                due.addDays(3)),
        addLoan(db, QStringLiteral("R0002"), QStringLiteral("B0001"), QStringLiteral("否"), due),
        addLoan(db, QStringLiteral("R0001"), QStringLiteral("B0002"), QStringLiteral("否"), due)};
}
} // namespace

class RenewalTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        LoginState::reset();
        Clock::setNow(QDateTime(QDate(2026, 3, 10), QTime(10, 0)));
    }
    void cleanup() { Clock::setNow({}); }

    void engines_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }

    // The screen renews the first open loan of the reader and item, and nothing else.
    void screenChangesOnlyDueDateOfLoanShown_data() { engines_data(); }
    void screenChangesOnlyDueDateOfLoanShown()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Loans loans = addLoans(lib.db());
        const auto before = loanRows(lib.db());
        RecordingMessenger messenger;

        TXuJieFm screen(lib.db());
        screen.show();
        QVERIFY(!screen.renewButton->isEnabled());
        QVERIFY(!screen.cancelButton->isEnabled());
        screen.readerNumberEdit->setText(QStringLiteral("R0001"));
        screen.itemNumberEdit->setText(QStringLiteral("B0001"));
        QTest::mouseClick(screen.findButton, Qt::LeftButton);
        QVERIFY(messenger.shown.isEmpty());
        QCOMPARE(screen.dueDateEdit->date(), kLent.addDays(14));
        QVERIFY(screen.renewButton->isEnabled());
        QVERIFY(screen.cancelButton->isEnabled());

        // A date before today is accepted as picked.
        const QDate picked(2026, 3, 5);
        screen.dueDateEdit->setDate(picked);
        QTest::mouseClick(screen.renewButton, Qt::LeftButton);
        QCOMPARE(messenger.texts(), QStringList{QStringLiteral("续借完毕!")});
        QVERIFY(!screen.isVisible());

        auto after = loanRows(lib.db());
        QCOMPARE(dueOf(lib.db(), loans.first), picked);
        // Every other column of that loan and every other loan are as they were.
        after[loans.first].removeIf(
            [](const QString& v) { return v.startsWith(QStringLiteral("应还日期=")); });
        auto expected = before;
        expected[loans.first].removeIf(
            [](const QString& v) { return v.startsWith(QStringLiteral("应还日期=")); });
        QCOMPARE(after, expected);
        Q_UNUSED(loans.second);
    }

    // "续借" after a failed search writes nothing, whatever an earlier search found.
    void renewalAfterFailedSearchDoesNothing_data() { engines_data(); }
    void renewalAfterFailedSearchDoesNothing()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        LoginState::instance().DbKind =
            engine == TestLibrary::SQLite ? QStringLiteral("a") : QStringLiteral("s");
        addLoans(lib.db());
        const auto before = loanRows(lib.db());
        RecordingMessenger messenger;

        TXuJieFm screen(lib.db());
        screen.show();
        screen.readerNumberEdit->setText(QStringLiteral("R0001"));
        screen.itemNumberEdit->setText(QStringLiteral("B0001"));
        QTest::mouseClick(screen.findButton, Qt::LeftButton);
        QVERIFY(screen.renewButton->isEnabled());
        screen.itemNumberEdit->setText(QStringLiteral("B9999"));
        QTest::mouseClick(screen.findButton, Qt::LeftButton);
        const QString q =
            engine == TestLibrary::SQLite ? QStringLiteral("\"") : QStringLiteral("'");
        QCOMPARE(messenger.texts(),
                 (QStringList{QStringLiteral("没有找到该借阅记录,请检查您输入的信息是否正确!"),
                              QStringLiteral("select * from 借出记录 where 读者编号=%1R0001%1 and "
                                             "编号=%1B9999%1 and 已还=%1否%1")
                                  .arg(q)}));
        QVERIFY(!screen.renewButton->isEnabled());
        QVERIFY(!screen.cancelButton->isEnabled());
        screen.dueDateEdit->setDate(QDate(2030, 1, 1));
        QTest::mouseClick(screen.renewButton, Qt::LeftButton);
        QCOMPARE(loanRows(lib.db()), before);
        QVERIFY(screen.isVisible());

        // The rules alone: a failed find forgets the loan found before.
        Renewal renewal(lib.db());
        QVERIFY(renewal.find(QStringLiteral("R0001"), QStringLiteral("B0001")));
        QVERIFY(!renewal.find(QStringLiteral("R0001"), QStringLiteral("B9999")));
        QVERIFY(!renewal.renew(QDate(2030, 1, 1)));
        // "取消" forgets it too.
        QVERIFY(renewal.find(QStringLiteral("R0001"), QStringLiteral("B0001")));
        renewal.cancel();
        QVERIFY(!renewal.renew(QDate(2030, 1, 1)));
        QCOMPARE(loanRows(lib.db()), before);
    }

    // A loan without 应还日期: the search shows the conversion error and "续借" stays off, so
    // the picker's date from the loan found before is never written into this one.
    void loanWithoutDueDateIsNotRenewed_data() { engines_data(); }
    void loanWithoutDueDateIsNotRenewed()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Loans loans = addLoans(lib.db());
        lib.db().execute(QStringLiteral("update 借出记录 set 应还日期 = null where id = ?"),
                         {loans.otherItem});
        const auto before = loanRows(lib.db());
        RecordingMessenger messenger;

        TXuJieFm screen(lib.db());
        screen.show();
        screen.readerNumberEdit->setText(QStringLiteral("R0001"));
        screen.itemNumberEdit->setText(QStringLiteral("B0001"));
        QTest::mouseClick(screen.findButton, Qt::LeftButton);
        QVERIFY(screen.renewButton->isEnabled());
        screen.itemNumberEdit->setText(QStringLiteral("B0002"));
        QTest::mouseClick(screen.findButton, Qt::LeftButton);
        QCOMPARE(messenger.texts(),
                 QStringList{
                     QStringLiteral("Could not convert variant of type (Null) into type (Date)")});
        QVERIFY(!screen.renewButton->isEnabled());
        QTest::mouseClick(screen.renewButton, Qt::LeftButton);
        QCOMPARE(loanRows(lib.db()), before);

        Renewal renewal(lib.db());
        QVERIFY(renewal.find(QStringLiteral("R0001"), QStringLiteral("B0001")));
        QVERIFY_THROWS_EXCEPTION(DbError,
                                 renewal.find(QStringLiteral("R0001"), QStringLiteral("B0002")));
        QVERIFY(!renewal.loan());
        QVERIFY(!renewal.renew(QDate(2030, 1, 1)));
        QCOMPARE(loanRows(lib.db()), before);
    }

    // Which loan a search finds.
    void findsFirstOpenLoanOnly_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("expected"); // index into Loans, -1 for none
        QTest::newRow("first of two open") << "R0001"
                                           << "B0001" << 1;
        QTest::newRow("other reader") << "R0002"
                                      << "B0001" << 3;
        QTest::newRow("other item") << "R0001"
                                    << "B0002" << 4;
        QTest::newRow("returned only") << "R0003"
                                       << "B0001" << -1;
        QTest::newRow("reader and item swapped") << "B0001"
                                                 << "R0001" << -1;
        QTest::newRow("quote in text") << "R0001' or '1'='1"
                                       << "B0001" << -1;
    }
    void findsFirstOpenLoanOnly()
    {
        QFETCH(QString, reader);
        QFETCH(QString, item);
        QFETCH(int, expected);
        TestLibrary lib(TestLibrary::SQLite, true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Loans loans = addLoans(lib.db());
        addLoan(lib.db(), QStringLiteral("R0003"), QStringLiteral("B0001"), QStringLiteral("是"),
                kLent);
        const qint64 ids[] = {loans.returned, loans.first, loans.second, loans.otherReader,
                              loans.otherItem};
        Renewal renewal(lib.db());
        QCOMPARE(renewal.find(reader, item), expected >= 0);
        if (expected >= 0) {
            QCOMPARE(renewal.loan()->id, ids[expected]);
            QCOMPARE(renewal.loan()->读者编号, reader);
            QCOMPARE(renewal.loan()->编号, item);
        }
    }

    // A loan returned by another desk between the search and "续借" is not written.
    void loanReturnedMeanwhileIsNotRenewed_data() { engines_data(); }
    void loanReturnedMeanwhileIsNotRenewed()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib(TestLibrary::Engine(engine), true, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        const Loans loans = addLoans(lib.db());
        Renewal renewal(lib.db());
        QVERIFY(renewal.find(QStringLiteral("R0001"), QStringLiteral("B0001")));
        lib.db().execute(QStringLiteral("update 借出记录 set 已还 = ? where id = ?"),
                         {QStringLiteral("是"), loans.first});
        const auto before = loanRows(lib.db());
        QVERIFY_THROWS_EXCEPTION(DbError, renewal.renew(QDate(2030, 1, 1)));
        QCOMPARE(loanRows(lib.db()), before);
        QVERIFY(!renewal.loan());
    }
};

TUSHU_TEST(RenewalTest)
#include "tst_Renewal.moc"
