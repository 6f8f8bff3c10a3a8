#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "../common/ZtestServer.h"
#include "catalogue/BkAddUt.h"
#include "catalogue/CopyCatalogueUt.h"
#include "data/LoginState.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {
constexpr int kZtestPort = 18240;

ZoomTarget target(const QString& name, int port, bool sru)
{
    ZoomTarget t;
    t.name = name;
    t.host = QStringLiteral("127.0.0.1");
    t.port = port;
    t.sru = sru;
    t.format = MarcFormat::Marc21;
    t.encoding = MarcEncoding::Marc8;
    return t;
}

void addEngines()
{
    QTest::addColumn<int>("engine");
    QTest::newRow("sqlite") << int(TestLibrary::SQLite);
    QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
}
} // namespace

class CopyCatalogueTest : public QObject
{
    Q_OBJECT
    ZtestServer ztest_;

private slots:
    void initTestCase()
    {
        const QString why = ztest_.start(kZtestPort);
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
    void init() { LoginState::reset(); }

    void targetsAreKept_data() { addEngines(); }
    void targetsAreKept()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        TestLibrary lib{TestLibrary::Engine(engine)};
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        ZoomTarget cn = target(QStringLiteral("国图"), 2100, true);
        cn.format = MarcFormat::Cnmarc;
        cn.encoding = MarcEncoding::Gb18030;
        cn.database = QStringLiteral("UCS01U");
        const QList<ZoomTarget> kept{cn, target(QStringLiteral("本地"), kZtestPort, false)};
        CopyCatalogue::saveTargets(lib.db(), kept);
        CopyCatalogue::saveTargets(lib.db(), kept); // replaces, does not add
        const QList<ZoomTarget> read = CopyCatalogue::targets(lib.db());
        QCOMPARE(read.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(read[i].name, kept[i].name);
            QCOMPARE(read[i].host, kept[i].host);
            QCOMPARE(read[i].port, kept[i].port);
            QCOMPARE(read[i].database, kept[i].database);
            QCOMPARE(read[i].sru, kept[i].sru);
            QCOMPARE(int(read[i].format), int(kept[i].format));
            QCOMPARE(int(read[i].encoding), int(kept[i].encoding));
        }
    }

    // From book entry: a search by ISBN on the configured targets lists the records, a
    // silent target gives the time-out message, and "采用" fills the entry's fields.
    void searchFillsTheEntryScreen()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        CopyCatalogue::saveTargets(lib.db(),
                                   {target(QStringLiteral("本地Z39.50"), kZtestPort, false),
                                    target(QStringLiteral("本地SRU"), kZtestPort, true)});
        RecordingMessenger messages;
        TBkAddFm entry;
        entry.show();
        entry.findChild<QLineEdit*>(QStringLiteral("bookNumberEdit"))
            ->setText(QStringLiteral("C1"));
        auto* open = entry.findChild<QPushButton*>(QStringLiteral("copyCatalogueButton"));
        QVERIFY(open && open->isVisible());
        QCOMPARE(open->accessibleName(), QStringLiteral("联机编目"));
        QTest::mouseClick(open, Qt::LeftButton);
        auto* screen = entry.findChild<TCopyCatalogueFm*>();
        QVERIFY(screen);
        QCOMPARE(screen->findChild<QListWidget*>(QStringLiteral("targetList"))->count(), 2);
        screen->findChild<QLineEdit*>(QStringLiteral("termEdit"))->setText(QStringLiteral("2"));
        screen->searchClick();
        QVERIFY(screen->searching());
        QTRY_VERIFY_WITH_TIMEOUT(!screen->searching(), 15000);
        auto* results = screen->findChild<QTableWidget*>(QStringLiteral("resultTable"));
        QTRY_VERIFY(results->rowCount() >= 2);
        QCOMPARE(results->item(0, 1)->text(), QStringLiteral("How to program a computer"));
        screen->takeClick();
        QCOMPARE(entry.findChild<QLineEdit*>(QStringLiteral("titleEdit"))->text(),
                 QStringLiteral("How to program a computer"));
        QCOMPARE(entry.findChild<QLineEdit*>(QStringLiteral("authorEdit"))->text(),
                 QStringLiteral("Jack Collins"));
        QCOMPARE(entry.findChild<QLineEdit*>(QStringLiteral("classNumberEdit"))->text(),
                 QStringLiteral("123-xyz"));
        // What the record does not give stays as typed.
        QCOMPARE(entry.findChild<QLineEdit*>(QStringLiteral("bookNumberEdit"))->text(),
                 QStringLiteral("C1"));
    }

    void silentTargetTimesOutAndCancelWorks()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        CopyCatalogue::saveTargets(lib.db(),
                                   {target(QStringLiteral("不应答"), ztest_.silentPort(), false)});
        RecordingMessenger messages;
        TCopyCatalogueFm screen({});
        screen.show();
        screen.findChild<QLineEdit*>(QStringLiteral("termEdit"))->setText(QStringLiteral("x"));
        screen.searchClick();
        QVERIFY(screen.searching());
        screen.cancelClick();
        QTRY_VERIFY_WITH_TIMEOUT(!screen.searching(), 5000);
        QVERIFY(screen.lastResult().cancelled);
        auto* search = screen.findChild<QPushButton*>(QStringLiteral("searchButton"));
        QVERIFY(search->isEnabled());
        screen.searchClick();
        QTRY_VERIFY_WITH_TIMEOUT(!screen.searching(), CopyCatalogue::kTimeoutMilliseconds + 5000);
        QCOMPARE(screen.findChild<QLabel*>(QStringLiteral("statusLabel"))->text(),
                 QStringLiteral("不应答: ") + ZoomSearch::timeoutText(QStringLiteral("不应答")));
        QVERIFY(search->isEnabled());
    }
};
TUSHU_TEST(CopyCatalogueTest)

#include "tst_CopyCatalogue.moc"
