#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "widgets/GridModel.h"

#include <QTest>

// A long list on a server reads on a second connection. When the server ends that session
// (a restart) while rows are still to come, the list runs its statement again and reads on
// after the rows it already shows, instead of stopping short.
class GridReconnectTest : public QObject
{
    Q_OBJECT
private slots:
    void listReadsOnAfterItsCursorDied()
    {
        TUSHU_REQUIRE_ENGINE(TestLibrary::PostgreSQL);
        TestLibrary lib(TestLibrary::PostgreSQL, false, false);
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        lib.db().execute(QStringLiteral("insert into 分类 (名称) select 'K' || g from "
                                        "generate_series(1, 300) g"));
        const int total = 300;
        GridModel model;
        model.setChunkSize(50);
        model.setQuery(
            lib.db(),
            QStringLiteral(
                "select 名称 from 分类 where 名称 like 'K%' order by length(名称), 名称"));
        QCOMPARE(model.rowCount(), 50);
        const QVariant fiftieth = model.data(model.index(49, 0));
        QVERIFY(model.cursorConnection() && model.cursorConnection() != &lib.db());
        QString error;
        QVERIFY2(TestLibrary::dropSession(*model.cursorConnection(), &error), qPrintable(error));
        model.fetchAll();
        QCOMPARE(model.rowCount(), total);
        QCOMPARE(model.data(model.index(49, 0)), fiftieth);
        QCOMPARE(model.data(model.index(total - 1, 0)).toString(), QStringLiteral("K300"));
    }
};

TUSHU_TEST(GridReconnectTest)
#include "tst_GridReconnect.moc"
