#include "../common/RecordingMessenger.h"
#include "../common/TestLibrary.h"
#include "../common/TestMain.h"
#include "catalogue/BkAddUt.h"
#include "catalogue/MyNetTm.h"
#include "catalogue/MyNetTmUt.h"
#include "data/LoginState.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace {

QByteArray recordPage(const char* link, const char* publication)
{
    return QByteArray("<html><body><table><tr><td>题名与责任</td><td><A "
                      "HREF=\"javascript:open_window(&quot;x&service_type=TAG\");\">") +
           link +
           "</A></td></tr>"
           "<tr><td>出版项</td><td><A HREF=\"y&service_type=TAG\");\">" +
           publication +
           "</A></td></tr>"
           "<tr><td>中图分类号</td><td><A HREF=\"z&service_type=TAG\");\">TP311.13</A></td></tr>"
           "<tr><td>内容提要</td><td align=left >本书介绍数据库的原理。</td></tr>"
           "</table></body></html>";
}

const QByteArray kRecord = recordPage("数据库原理 [专著] / 作者甲著", "城市 : 某出版社 , 2003");

// A catalogue on a local port: the start page names the search form, the search answers
// with kRecord; each mode spoils one of them.
class Catalogue : public QObject
{
public:
    enum Mode
    {
        Normal,
        ServerError, // every answer is a 500 page
        Hang,        // the search is never answered
        NoForm,      // the start page has no form2
        NoRecord,    // the search finds nothing
    };
    explicit Catalogue(Mode mode) : mode_(mode)
    {
        server_.listen(QHostAddress::LocalHost);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] { answer(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QString host() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }
    QStringList requests;

private:
    void answer(QTcpSocket* s)
    {
        const QByteArray head = s->readAll();
        const QByteArray target = head.split(' ').value(1);
        requests << QString::fromLatin1(target);
        if (mode_ == Hang && target.contains("func=find-m"))
            return;
        QByteArray status = "200 OK";
        QByteArray body;
        if (mode_ == ServerError) {
            status = "500 Internal Server Error";
            body =
                QByteArray("<html>题名与责任 service_type=TAG\");\">错 [专著]</A> name=\"form2\" "
                           "action=\"") +
                host().toLatin1() + "/F/X\"</html>";
        } else if (target == "/F") {
            body = mode_ == NoForm ? QByteArray("<html><form name=\"form1\" action=\"x\"></html>")
                                   : "<html><form name=\"form2\" action=\"" + host().toLatin1() +
                                         "/F/SESSION-1\" method=get></form></html>";
        } else {
            body = mode_ == NoRecord ? QByteArray("<html>没有记录</html>") : kRecord;
        }
        s->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\n" +
                 "Content-Length: " + QByteArray::number(body.size()) +
                 "\r\nConnection: close\r\n\r\n" + body);
        s->disconnectFromHost();
    }
    QTcpServer server_;
    Mode mode_;
};

} // namespace

class CatalogueExtractTest : public QObject
{
    Q_OBJECT
private slots:
    void extractsTheRecord_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("author");
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("publisher");
        QTest::addColumn<QString>("year");
        QTest::newRow("record") << kRecord << QStringLiteral("数据库原理")
                                << QStringLiteral("作者甲著") << QStringLiteral("城市")
                                << QStringLiteral("某出版社") << QStringLiteral("2003");
        QTest::newRow("title without [专著]")
            << recordPage("数据库原理 / 作者甲著", "城市:某出版社,2003") << QString()
            << QStringLiteral("作者甲著") << QStringLiteral("城市") << QStringLiteral("某出版社")
            << QStringLiteral("2003");
        QTest::newRow("publication without comma")
            << recordPage("书 [专著] / 某人", "2003城市:某出版社") << QStringLiteral("书")
            << QStringLiteral("某人") << QStringLiteral("2003城市") << QString()
            << QStringLiteral("2003");
        QTest::newRow("no record")
            << QByteArray("<html>题名与责任 无</html>") << CatalogueRecord::kNoTitle << QString()
            << QString() << QString() << QString();
    }
    void extractsTheRecord()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, title);
        QFETCH(QString, author);
        QFETCH(QString, place);
        QFETCH(QString, publisher);
        QFETCH(QString, year);
        const CatalogueRecord r = CatalogueRecord::extract(CatalogueText::toLocal(page));
        QCOMPARE(r.title, title);
        QCOMPARE(r.author, author);
        QCOMPARE(r.place, place);
        QCOMPARE(r.publisher, publisher);
        QCOMPARE(r.year, year);
        if (title != CatalogueRecord::kNoTitle) {
            QCOMPARE(r.classNumber, QStringLiteral("TP311.13"));
            QCOMPARE(r.summary, QStringLiteral("本书介绍数据库的原理。"));
        }
    }

    // However the page is cut, reading it stays inside the text and finds nothing that is
    // not there.
    void pageCutAtEveryByte()
    {
        const QByteArray page = CatalogueText::toLocal(kRecord);
        for (qsizetype n = 0; n <= page.size(); ++n) {
            const QByteArray cut = page.left(n);
            const CatalogueRecord r = CatalogueRecord::extract(cut);
            const QString text = CatalogueText::fromLocal(cut);
            for (const QString& field :
                 {r.author, r.classNumber, r.place, r.publisher, r.year, r.summary})
                QVERIFY2(field.isEmpty() || text.contains(field.left(1)), qPrintable(field));
            if (r.found())
                QVERIFY(cut.contains("service_type=TAG\");"));
        }
    }

    void searchAddressAndRequest()
    {
        QCOMPARE(CatalogueText::searchAddress("<form name=\"form2\" action=\"http://h/F/S1\">")
                     .value_or(QByteArray()),
                 QByteArray("http://h/F/S1"));
        QVERIFY(!CatalogueText::searchAddress("<form name=\"form2\" action=\"http://h"));
        QVERIFY(!CatalogueText::searchAddress("<form name=\"form1\">"));
        QCOMPARE(CatalogueText::requestUrl(QStringLiteral("http://h/F/S1"),
                                           QStringLiteral(" 978 7&x=1 "))
                     .toString(QUrl::FullyEncoded),
                 QStringLiteral("http://h/F/S1?func=find-m&request=978%207%26x%3D1&find_code="
                                "ISB&FIND_BASE=NLC01"));
        QVERIFY(!CatalogueText::requestUrl(QStringLiteral("file:///etc/F"), QStringLiteral("1"))
                     .isValid());
        QVERIFY(!CatalogueText::requestUrl(QStringLiteral("javascript:x"), QStringLiteral("1"))
                     .isValid());
    }
};
TUSHU_TEST(CatalogueExtractTest)

class MyNetTmScreenTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { LoginState::reset(); }
    void cleanup() { LoginState::reset(); }

    void lookupFillsTheEntryScreen()
    {
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        Catalogue catalogue(Catalogue::Normal);
        LoginState::instance().CatalogueHost = catalogue.host();
        RecordingMessenger messages;
        TBkAddFm entry;
        entry.show();
        auto* ok = entry.findChild<QPushButton*>(QStringLiteral("onlineLookupButton"));
        QVERIFY(ok && ok->isHidden());
        ok->click();
        auto* window = entry.findChild<TMyNetTmFm*>();
        QVERIFY(window && window->isVisible());
        auto* fetch = window->findChild<QPushButton*>(QStringLiteral("fetchButton"));
        window->findChild<QLineEdit*>(QStringLiteral("barcodeEdit"))
            ->setText(QStringLiteral(" 9787115113115 "));
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(5);
        fetch->click();
        QVERIFY(!fetch->isEnabled());
        auto* title = entry.findChild<QLineEdit*>(QStringLiteral("titleEdit"));
        QTRY_COMPARE(title->text(), QStringLiteral("数据库原理"));
        QVERIFY(ticks > 0);
        QVERIFY(fetch->isEnabled());
        QCOMPARE(catalogue.requests,
                 (QStringList{QStringLiteral("/F"),
                              QStringLiteral("/F/SESSION-1?func=find-m&request=9787115113115&"
                                             "find_code=ISB&FIND_BASE=NLC01")}));
        QCOMPARE(messages.texts(), QStringList{CatalogueText::Connected});
        QCOMPARE(entry.findChild<QLineEdit*>(QStringLiteral("pinyinEdit"))->text(),
                 QStringLiteral("SJKYL"));
        QCOMPARE(entry.findChild<QLineEdit*>(QStringLiteral("classNumberEdit"))->text(),
                 QStringLiteral("TP311.13"));
        QCOMPARE(entry.findChild<QLineEdit*>(QStringLiteral("authorEdit"))->text(),
                 QStringLiteral("作者甲著"));
        QCOMPARE(entry.findChild<QComboBox*>(QStringLiteral("publisherCombo"))->currentText(),
                 QStringLiteral("某出版社"));
        QCOMPARE(entry.findChild<QLineEdit*>(QStringLiteral("barcodeEdit"))->text(),
                 QStringLiteral(" 9787115113115 "));
        QCOMPARE(entry.findChild<QPlainTextEdit*>(QStringLiteral("summaryEdit"))->toPlainText(),
                 QStringLiteral("本书介绍数据库的原理。"));
        auto* results = window->findChild<QTableWidget*>(QStringLiteral("resultList"));
        QCOMPARE(results->rowCount(), 1);
        QCOMPARE(results->item(0, 0)->text(), QStringLiteral("数据库原理"));
        QCOMPARE(results->item(0, 4)->text(), QStringLiteral("2003"));
    }

    // No page, an error page, a hang or a page without the search form: never a success.
    void failuresAreNoSuccess_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("connects");
        QTest::newRow("500") << int(Catalogue::ServerError) << false;
        QTest::newRow("no form2") << int(Catalogue::NoForm) << false;
        QTest::newRow("hang") << int(Catalogue::Hang) << true;
    }
    void failuresAreNoSuccess()
    {
        QFETCH(int, mode);
        QFETCH(bool, connects);
        Catalogue catalogue{Catalogue::Mode(mode)};
        CatalogueLookup lookup(CatalogueText::baseUrl(catalogue.host()));
        lookup.setTimeout(300);
        QSignalSpy connected(&lookup, &CatalogueLookup::connectFinished);
        QSignalSpy looked(&lookup, &CatalogueLookup::lookupFinished);
        lookup.lookup(QStringLiteral("9787115113115"));
        QVERIFY(lookup.busy());
        QTRY_COMPARE(looked.count(), 1);
        QCOMPARE(connected.count(), 1);
        QCOMPARE(connected.at(0).at(0).toBool(), connects);
        if (!connects)
            QVERIFY(connected.at(0).at(1).toString().startsWith(QStringLiteral("连接服务器失败")));
        QCOMPARE(looked.at(0).at(0).value<CatalogueLookup::Outcome>(),
                 CatalogueLookup::Outcome::Failed);
        QVERIFY(!lookup.busy());
    }

    // The window's caption, and "获取数据" while the first lookup runs: it connects first, and
    // stays disabled after "连接成功" until the search itself has answered.
    void fetchStaysDisabledWhileTheFirstLookupRuns()
    {
        Catalogue catalogue(Catalogue::Hang);
        LoginState::instance().CatalogueHost = catalogue.host();
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messages;
        TBkAddFm entry;
        entry.show();
        entry.openOnlineLookup();
        auto* window = entry.findChild<TMyNetTmFm*>();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("联网录入"));
        window->lookup().setTimeout(500);
        auto* fetch = window->findChild<QPushButton*>(QStringLiteral("fetchButton"));
        auto* connectButton = window->findChild<QPushButton*>(QStringLiteral("connectButton"));
        window->findChild<QLineEdit*>(QStringLiteral("barcodeEdit"))
            ->setText(QStringLiteral("9787115113115"));
        fetch->click();
        QTRY_COMPARE(messages.texts(), QStringList{CatalogueText::Connected});
        QVERIFY(window->lookup().busy());
        QVERIFY(!fetch->isEnabled());
        QVERIFY(!connectButton->isEnabled());
        // The search times out: the lookup ends silently and the buttons come back.
        QTRY_VERIFY(fetch->isEnabled());
        QVERIFY(connectButton->isEnabled());
        QCOMPARE(messages.texts(), QStringList{CatalogueText::Connected});
    }

    void notFoundIsSaid()
    {
        Catalogue catalogue(Catalogue::NoRecord);
        LoginState::instance().CatalogueHost = catalogue.host();
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messages;
        TBkAddFm entry;
        entry.show();
        entry.openOnlineLookup();
        auto* window = entry.findChild<TMyNetTmFm*>();
        window->findChild<QLineEdit*>(QStringLiteral("barcodeEdit"))
            ->setText(QStringLiteral("123"));
        window->fetchClick();
        QTRY_COMPARE(messages.texts().size(), 2);
        QCOMPARE(messages.texts().last(), QStringLiteral("123 服务器中无改条码的图书资料!"));
        QCOMPARE(entry.findChild<QLineEdit*>(QStringLiteral("titleEdit"))->text(), QString());
    }

    // A reply that comes after the entry screen closed does nothing.
    void closingTheEntryScreenEndsTheLookup()
    {
        Catalogue catalogue(Catalogue::Hang);
        LoginState::instance().CatalogueHost = catalogue.host();
        TestLibrary lib;
        QVERIFY2(lib.ok(), qPrintable(lib.error()));
        RecordingMessenger messages;
        auto* entry = new TBkAddFm;
        entry->show();
        entry->openOnlineLookup();
        QPointer<TMyNetTmFm> window = entry->findChild<TMyNetTmFm*>();
        window->fetchClick();
        QTRY_COMPARE(catalogue.requests.size(), 2);
        delete entry;
        QVERIFY(window.isNull());
        QTest::qWait(50);
        QCOMPARE(messages.texts(), QStringList{CatalogueText::Connected});
    }
};
TUSHU_TEST(MyNetTmScreenTest)

#include "tst_MyNetTm.moc"
