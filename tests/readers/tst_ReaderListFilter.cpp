// The header filter of the reader list on more readers than the list reads at once.
#include "../common/HeaderFilter.h"
#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "data/LoginState.h"
#include "readers/RdSearchUt.h"
#include "widgets/GridModel.h"

#include <QTest>

class ReaderListFilterTest : public QObject
{
    Q_OBJECT
private slots:
    void filtersByCategoryThroughTheDatabase_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }
    void filtersByCategoryThroughTheDatabase()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        LoginState::reset();
        RecordingMessenger messenger;
        const int readers = GridModel::kDefaultChunk + 100;
        lib.db().transaction([&] {
            QSqlQuery q = lib.db().prepare(QStringLiteral(
                "insert into 读者库 (读者编号, 读者姓名, 类别, 状态) values (?, ?, ?, ?)"));
            for (int i = 0; i < readers; ++i)
                lib.db().run(q, {QStringLiteral("R%1").arg(i, 4, 10, QLatin1Char('0')),
                                 QStringLiteral("读者%1").arg(i),
                                 i % 3 ? QStringLiteral("普通") : QStringLiteral("教师"),
                                 QStringLiteral("正常")});
        });
        TRdSearchFm screen;
        screen.show();
        DataGrid* grid = screen.grid();
        QVERIFY(grid->headerFilterEnabled());
        QVERIFY(!grid->model()->allFetched());
        QStringList expected{QStringLiteral("教师"), QStringLiteral("普通")};
        expected.sort();
        QCOMPARE(HeaderFilter::choices(grid, QStringLiteral("类别")), expected);
        HeaderFilter::choose(grid, QStringLiteral("教师"));
        const int teachers = (readers + 2) / 3;
        QCOMPARE(grid->rowCount(), teachers);
        QCOMPARE(grid->footerText(QStringLiteral("读者编号")), QString::number(teachers));
        for (int r = 0; r < grid->rowCount(); ++r)
            QCOMPARE(grid->value(r, QStringLiteral("类别")).toString(), QStringLiteral("教师"));
        // "(全部)" lifts it.
        HeaderFilter::choices(grid, QStringLiteral("类别"));
        HeaderFilter::choose(grid, QStringLiteral("(全部)"));
        QCOMPARE(grid->footerText(QStringLiteral("读者编号")), QString::number(readers));
        QVERIFY(messenger.shown.isEmpty());
    }
};

TUSHU_TEST(ReaderListFilterTest)
#include "tst_ReaderListFilter.moc"
