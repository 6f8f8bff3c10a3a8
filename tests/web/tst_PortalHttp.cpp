// The portal over HTTP: sessions and cookies, CSRF, one reader's own account only,
// throttled login, escaped texts, SQL fragments in parameters, and renewal, reservation and
// fees that are the desk's own, on both engines.
#include "../common/TestMain.h"
#include "PortalFixture.h"
#include "circulation/Lending.h"
#include "circulation/Renewal.h"
#include "circulation/Returning.h"

#include <QJsonArray>
#include <QSqlRecord>
#include <QTest>

using namespace PortalTest;

namespace {
const QString kSession = QStringLiteral("tushu_session");

QUrlQuery formOf(std::initializer_list<std::pair<const char*, QString>> items)
{
    QUrlQuery q;
    for (const auto& i : items)
        q.addQueryItem(QString::fromLatin1(i.first), i.second);
    return q;
}

// Logs the client in through the JSON interface and keeps the token.
void apiLogin(Client& c, const QString& reader, const QString& password)
{
    c.bearer = c.postJson(QStringLiteral("/api/login"), {{QStringLiteral("reader"), reader},
                                                         {QStringLiteral("password"), password}})
                   .json()
                   .value(QStringLiteral("token"))
                   .toString()
                   .toLatin1();
}

// Notes how much of each answer still waits in its socket's buffer when the server turns
// to the next request.
class WatchedServer : public PortalServer
{
public:
    using PortalServer::PortalServer;
    QList<qint64> unsent;

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        const bool handled = PortalServer::handleRequest(request, socket);
        unsent << socket->bytesToWrite();
        return handled;
    }
};

QDate dueOf(const Database& db, const QString& reader, const QString& item)
{
    return DbValue::dateOrNull(
        db.scalar(QStringLiteral("select 应还日期 from 借出记录 where 读者编号 = ? and 编号 = ?"),
                  {reader, item}));
}
} // namespace

class PortalHttpTest : public QObject
{
    Q_OBJECT
private slots:
    void engines_data()
    {
        QTest::addColumn<int>("engine");
        QTest::newRow("sqlite") << int(TestLibrary::SQLite);
        QTest::newRow("postgresql") << int(TestLibrary::PostgreSQL);
    }

    void sessionCookieAndNewTokenAtLogin_data() { engines_data(); }
    void sessionCookieAndNewTokenAtLogin()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Portal portal(engine);
        QVERIFY(portal.ok());
        Client browser = portal.client();
        const Response login = browser.login(QStringLiteral("R1"), QStringLiteral("1111"));
        QCOMPARE(login.status, 303);
        QCOMPARE(login.headers.value("location"), QByteArray("/account"));
        const auto cookie =
            std::find_if(login.cookies.begin(), login.cookies.end(),
                         [](const QNetworkCookie& c) { return c.name() == "tushu_session"; });
        QVERIFY(cookie != login.cookies.end());
        QVERIFY(cookie->isHttpOnly());
        QCOMPARE(cookie->sameSitePolicy(), QNetworkCookie::SameSite::Strict);
        QVERIFY(!cookie->isSecure()); // plain HTTP here
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$"))
                    .match(QString::fromLatin1(cookie->value()))
                    .hasMatch());
        const QByteArray first = browser.cookies.value("tushu_session");

        // A second login from the same browser gets a new token and ends the old one.
        QCOMPARE(browser.login(QStringLiteral("R1"), QStringLiteral("1111")).status, 303);
        const QByteArray second = browser.cookies.value("tushu_session");
        QVERIFY(second != first);
        Client stale = portal.client();
        stale.cookies.insert("tushu_session", first);
        QCOMPARE(stale.get(QStringLiteral("/account")).status, 303);
        QCOMPARE(browser.get(QStringLiteral("/account")).status, 200);
    }

    void secureCookieBehindTls_data()
    {
        QTest::addColumn<bool>("behindProxy");
        QTest::addColumn<bool>("secure");
        QTest::newRow("behind the proxy") << true << true;
        QTest::newRow("header from a client") << false << false;
    }
    void secureCookieBehindTls()
    {
        QFETCH(bool, behindProxy);
        QFETCH(bool, secure);
        PortalOptions options;
        options.behindProxy = behindProxy;
        Portal portal(TestLibrary::SQLite, options);
        QVERIFY(portal.ok());
        Client browser = portal.client();
        // What the nginx of the README sends for a request that came over TLS.
        browser.headers.insert("X-Forwarded-Proto", "https");
        const Response login = browser.login(QStringLiteral("R1"), QStringLiteral("1111"));
        QCOMPARE(login.status, 303);
        QVERIFY(!login.cookies.isEmpty());
        for (const QNetworkCookie& c : login.cookies) {
            QCOMPARE(c.isSecure(), secure);
            QVERIFY(c.isHttpOnly());
        }
        QCOMPARE(login.headers.contains("strict-transport-security"), secure);
    }

    void logoutAndIdleExpiryEndTheSession_data() { engines_data(); }
    void logoutAndIdleExpiryEndTheSession()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        PortalOptions options;
        options.idleSeconds = 600;
        Portal portal(engine, options);
        QVERIFY(portal.ok());
        Client browser = portal.client();
        browser.login(QStringLiteral("R1"), QStringLiteral("1111"));
        const QByteArray token = browser.cookies.value("tushu_session");
        const Response account = browser.get(QStringLiteral("/account"));
        QCOMPARE(account.status, 200);
        // Logout without the CSRF token is refused and keeps the session.
        QCOMPARE(browser.post(QStringLiteral("/logout"), {}).status, 403);
        QCOMPARE(browser.get(QStringLiteral("/account")).status, 200);
        QCOMPARE(browser.post(QStringLiteral("/logout"), formOf({{"csrf", account.csrf()}})).status,
                 200);
        QVERIFY(!browser.cookies.contains("tushu_session"));
        Client replay = portal.client();
        replay.cookies.insert("tushu_session", token);
        QCOMPARE(replay.get(QStringLiteral("/account")).status, 303);

        // Idle expiry: 599 s idle is still in, 600 s is out.
        browser.login(QStringLiteral("R1"), QStringLiteral("1111"));
        Clock::setNow(Fixture::fixedNow().addSecs(599));
        QCOMPARE(browser.get(QStringLiteral("/account")).status, 200);
        Clock::setNow(Fixture::fixedNow().addSecs(599 + 600));
        QCOMPARE(browser.get(QStringLiteral("/account")).status, 303);

        // The JSON interface's tokens end the same way.
        Clock::setNow(Fixture::fixedNow());
        Client app = portal.client();
        const Response login = app.postJson(QStringLiteral("/api/login"),
                                            {{QStringLiteral("reader"), QStringLiteral("R1")},
                                             {QStringLiteral("password"), QStringLiteral("1111")}});
        QCOMPARE(login.status, 200);
        app.bearer = login.json().value(QStringLiteral("token")).toString().toLatin1();
        QCOMPARE(app.bearer.size(), 32);
        QCOMPARE(app.get(QStringLiteral("/api/items")).status, 200);
        QCOMPARE(app.postJson(QStringLiteral("/api/logout"), {}).status, 200);
        QCOMPARE(app.get(QStringLiteral("/api/items")).status, 401);
    }

    void changingFormsNeedTheCsrfToken_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("item");
        for (const auto& [name, engine] : {std::pair{"sqlite", int(TestLibrary::SQLite)},
                                           std::pair{"postgresql", int(TestLibrary::PostgreSQL)}}) {
            QTest::addRow("%s renew", name)
                << engine << QStringLiteral("/renew") << QStringLiteral("B1");
            QTest::addRow("%s reserve", name)
                << engine << QStringLiteral("/reserve") << QStringLiteral("B3");
            QTest::addRow("%s cancel", name)
                << engine << QStringLiteral("/cancel") << QStringLiteral("B3");
            QTest::addRow("%s password", name)
                << engine << QStringLiteral("/password") << QString();
        }
    }
    void changingFormsNeedTheCsrfToken()
    {
        QFETCH(int, engine);
        QFETCH(QString, path);
        QFETCH(QString, item);
        TUSHU_REQUIRE_ENGINE(engine);
        Portal portal(engine);
        QVERIFY(portal.ok());
        Client browser = portal.client();
        browser.login(QStringLiteral("R1"), QStringLiteral("1111"));
        const QString csrf = browser.get(QStringLiteral("/account")).csrf();
        QVERIFY(!csrf.isEmpty());
        const QStringList loans =
            tableRows(portal.db(), QStringLiteral("借出记录"), QStringLiteral("id"));
        const QStringList books =
            tableRows(portal.db(), QStringLiteral("图书"), QStringLiteral("编号"));
        const QStringList readers =
            tableRows(portal.db(), QStringLiteral("读者库"), QStringLiteral("读者编号"));
        const QUrlQuery fields = formOf({{"item", item},
                                         {"old", QStringLiteral("1111")},
                                         {"new", QStringLiteral("9")},
                                         {"confirm", QStringLiteral("9")}});
        QUrlQuery wrong = fields;
        wrong.addQueryItem(QStringLiteral("csrf"), QString(32, QLatin1Char('0')));
        QCOMPARE(browser.post(path, fields).status, 403);
        QCOMPARE(browser.post(path, wrong).status, 403);
        QCOMPARE(tableRows(portal.db(), QStringLiteral("借出记录"), QStringLiteral("id")), loans);
        QCOMPARE(tableRows(portal.db(), QStringLiteral("图书"), QStringLiteral("编号")), books);
        QCOMPARE(tableRows(portal.db(), QStringLiteral("读者库"), QStringLiteral("读者编号")),
                 readers);
        // The same form with the session's token goes through to the rule.
        QUrlQuery right = fields;
        right.addQueryItem(QStringLiteral("csrf"), csrf);
        QVERIFY(browser.post(path, right).status != 403);

        // The login form needs its own token too.
        Client other = portal.client();
        QCOMPARE(other
                     .post(QStringLiteral("/login"), formOf({{"reader", QStringLiteral("R1")},
                                                             {"password", QStringLiteral("1111")}}))
                     .status,
                 403);
    }

    void aReaderSeesOnlyHisOwnAccount_data() { engines_data(); }
    void aReaderSeesOnlyHisOwnAccount()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Portal portal(engine);
        QVERIFY(portal.ok());
        Client browser = portal.client();
        browser.login(QStringLiteral("R1"), QStringLiteral("1111"));
        // Another reader's number in the URL changes nothing: the account is the session's.
        const Response page = browser.get(QStringLiteral("/account?reader=R2&读者编号=R2"));
        QCOMPARE(page.status, 200);
        QVERIFY(page.text().contains(QStringLiteral("三国")));
        QVERIFY(!page.text().contains(QStringLiteral("西游记")));
        QVERIFY(!page.text().contains(QStringLiteral("李四")));
        // R2's loan cannot be renewed through R1's session, by form or by JSON.
        const QDate due = dueOf(portal.db(), QStringLiteral("R2"), QStringLiteral("B3"));
        const Response renew =
            browser.post(QStringLiteral("/renew"), formOf({{"csrf", page.csrf()},
                                                           {"item", QStringLiteral("B3")},
                                                           {"reader", QStringLiteral("R2")}}));
        QVERIFY(renew.text().contains(Renewal::notFoundMessage()));
        Client app = portal.client();
        apiLogin(app, QStringLiteral("R1"), QStringLiteral("1111"));
        const Response apiRenew = app.postJson(QStringLiteral("/api/renew"),
                                               {{QStringLiteral("item"), QStringLiteral("B3")},
                                                {QStringLiteral("reader"), QStringLiteral("R2")}});
        QCOMPARE(apiRenew.status, 409);
        QCOMPARE(dueOf(portal.db(), QStringLiteral("R2"), QStringLiteral("B3")), due);
        const QJsonArray items = app.get(QStringLiteral("/api/items?reader=R2"))
                                     .json()
                                     .value(QStringLiteral("items"))
                                     .toArray();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].toObject().value(QStringLiteral("item")).toString(),
                 QStringLiteral("B1"));
        // A made-up token is nobody.
        Client forged = portal.client();
        forged.bearer = QByteArray(32, 'a');
        QCOMPARE(forged.get(QStringLiteral("/api/items")).status, 401);
        forged.cookies.insert("tushu_session", QByteArray(32, 'a'));
        QCOMPARE(forged.get(QStringLiteral("/account")).status, 303);
    }

    void loginIsThrottled_data() { engines_data(); }
    void loginIsThrottled()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        PortalOptions options;
        options.behindProxy = true; // so that each client has an address of its own
        Portal portal(engine, options);
        QVERIFY(portal.ok());
        Client browser = portal.clientFrom("10.0.0.1");
        // The same answer for an unknown number and a wrong password.
        const Response unknown = browser.login(QStringLiteral("R9"), QStringLiteral("1111"));
        const Response wrong = browser.login(QStringLiteral("R1"), QStringLiteral("0000"));
        QCOMPARE(unknown.status, 401);
        QCOMPARE(wrong.status, 401);
        QVERIFY(unknown.text().contains(WebText::LoginFailed));
        QCOMPARE(QString(unknown.text())
                     .replace(unknown.csrf(), QString())
                     .replace(QStringLiteral("R9"), QString()),
                 QString(wrong.text())
                     .replace(wrong.csrf(), QString())
                     .replace(QStringLiteral("R1"), QString()));
        QVERIFY(!browser.cookies.contains("tushu_session"));

        // Per reader number: the fifth failure locks R1 for 15 minutes, from every address
        // and even with the right password.
        for (int i = 2; i <= 5; ++i)
            QCOMPARE(portal.clientFrom("10.0.0." + QByteArray::number(i))
                         .login(QStringLiteral("R1"), QStringLiteral("0000"))
                         .status,
                     401);
        Client elsewhere = portal.clientFrom("10.0.0.9");
        const Response locked = elsewhere.login(QStringLiteral("R1"), QStringLiteral("1111"));
        QCOMPARE(locked.status, 429);
        QVERIFY(locked.text().contains(WebText::Throttled));
        const Response apiLocked = elsewhere.postJson(
            QStringLiteral("/api/login"), {{QStringLiteral("reader"), QStringLiteral("R1")},
                                           {QStringLiteral("password"), QStringLiteral("1111")}});
        QCOMPARE(apiLocked.status, 429);
        QCOMPARE(elsewhere.login(QStringLiteral("R2"), QStringLiteral("2222")).status, 303);
        Clock::setNow(Fixture::fixedNow().addSecs(LoginThrottle::kLockSeconds - 1));
        QCOMPARE(elsewhere.login(QStringLiteral("R1"), QStringLiteral("1111")).status, 429);
        Clock::setNow(Fixture::fixedNow().addSecs(LoginThrottle::kLockSeconds));
        QCOMPARE(elsewhere.login(QStringLiteral("R1"), QStringLiteral("1111")).status, 303);
    }

    void loginIsThrottledPerClientAddress()
    {
        PortalOptions options;
        options.behindProxy = true;
        Portal portal(TestLibrary::SQLite, options);
        QVERIFY(portal.ok());
        Client browser = portal.clientFrom("10.0.0.1");
        // Five different unknown numbers from one address lock the address.
        for (int i = 0; i < 5; ++i)
            QCOMPARE(browser.login(QStringLiteral("X%1").arg(i), QStringLiteral("1")).status, 401);
        QCOMPARE(browser.login(QStringLiteral("R2"), QStringLiteral("2222")).status, 429);
        QCOMPARE(portal.clientFrom("10.0.0.2")
                     .login(QStringLiteral("R2"), QStringLiteral("2222"))
                     .status,
                 303);
        Clock::setNow(Fixture::fixedNow().addSecs(LoginThrottle::kLockSeconds));
        QCOMPARE(browser.login(QStringLiteral("R2"), QStringLiteral("2222")).status, 303);
    }

    void passwordsComparedWhole()
    {
        Portal portal(TestLibrary::SQLite);
        QVERIFY(portal.ok());
        ReaderPortal rules(portal.db());
        QVERIFY(rules.passwordMatches(QStringLiteral("R1"), QStringLiteral("1111")));
        QVERIFY(!rules.passwordMatches(QStringLiteral("R1"), QStringLiteral("111")));
        QVERIFY(!rules.passwordMatches(QStringLiteral("R1"), QStringLiteral("11111")));
        QVERIFY(!rules.passwordMatches(QStringLiteral("R9"), QString()));
        // A reader with no password stored cannot log in with an empty one.
        portal.db().execute(QStringLiteral("update 读者库 set 密码 = null where 读者编号 = ?"),
                            {QStringLiteral("R2")});
        QVERIFY(!rules.passwordMatches(QStringLiteral("R2"), QString()));
        QVERIFY(ReaderPortal::sameBytes("abc", "abc"));
        QVERIFY(!ReaderPortal::sameBytes("abc", "abd"));
        QVERIFY(!ReaderPortal::sameBytes("abc", "abc\0"_qba));
        QVERIFY(!ReaderPortal::sameBytes("", "a"));
    }

    void textsAreEscaped_data() { engines_data(); }
    void textsAreEscaped()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Portal portal(engine);
        QVERIFY(portal.ok());
        Fixture::Item evil;
        evil.number = QStringLiteral("B9\"><img src=x>");
        evil.title = QStringLiteral("<script>alert(1)</script>&'\"");
        evil.barcode = QStringLiteral("690009");
        Fixture::addItem(portal.db(), evil);
        portal.db().execute(QStringLiteral("update 系统设置 set WebNotice = ?"),
                            {QStringLiteral("<b onmouseover=x>公告</b>")});
        Client browser = portal.client();
        const QString search = browser.get(QStringLiteral("/search?q=script")).text();
        QVERIFY(search.contains(
            QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;&amp;&apos;&quot;")));
        QVERIFY(!search.contains(QStringLiteral("<script>")));
        QVERIFY(!search.contains(QStringLiteral("<img")));
        const QString home = browser.get(QStringLiteral("/")).text();
        QVERIFY(home.contains(QStringLiteral("&lt;b onmouseover=x&gt;公告")));
        const QString query = browser.get(QStringLiteral("/search?q=%22%3E%3Cscript%3E")).text();
        QVERIFY(!query.contains(QStringLiteral("\"><script>")));
        const QString item = browser
                                 .get(QStringLiteral("/item?kind=book&id=") +
                                      QString::fromLatin1(QUrl::toPercentEncoding(evil.number)))
                                 .text();
        QVERIFY(item.contains(QStringLiteral("&lt;script&gt;")));
        QVERIFY(!item.contains(QStringLiteral("<img")));
        QVERIFY(!item.contains(QStringLiteral("<script>")));
    }

    void sqlFragmentsAreJustText_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("fragment");
        for (const auto& [name, engine] : {std::pair{"sqlite", int(TestLibrary::SQLite)},
                                           std::pair{"postgresql", int(TestLibrary::PostgreSQL)}}) {
            QTest::addRow("%s quote or", name) << engine << QStringLiteral("' or '1'='1");
            QTest::addRow("%s comment", name)
                << engine << QStringLiteral("x'; delete from 读者库; --");
            QTest::addRow("%s wildcard", name) << engine << QStringLiteral("%");
            QTest::addRow("%s union", name)
                << engine << QStringLiteral("1 union select 密码 from 读者库");
        }
    }
    void sqlFragmentsAreJustText()
    {
        QFETCH(int, engine);
        QFETCH(QString, fragment);
        TUSHU_REQUIRE_ENGINE(engine);
        Portal portal(engine);
        QVERIFY(portal.ok());
        const QString enc = QString::fromLatin1(QUrl::toPercentEncoding(fragment));
        Client browser = portal.client();
        const Response search =
            browser.get(QStringLiteral("/search?q=") + enc + QStringLiteral("&page=") + enc);
        QCOMPARE(search.status, 200);
        QVERIFY(search.text().contains(QStringLiteral("共 0 条")));
        QCOMPARE(browser.get(QStringLiteral("/item?kind=book&id=") + enc).status, 404);
        QCOMPARE(browser.get(QStringLiteral("/api/search?q=") + enc)
                     .json()
                     .value(QStringLiteral("total"))
                     .toInt(),
                 0);
        QCOMPARE(
            browser.get(QStringLiteral("/api/item?kind=") + enc + QStringLiteral("&id=B1")).status,
            404);
        QCOMPARE(browser.login(fragment, fragment).status, 401);
        Client app = portal.client();
        QCOMPARE(
            app.postJson(QStringLiteral("/api/login"), {{QStringLiteral("reader"), fragment},
                                                        {QStringLiteral("password"), fragment}})
                .status,
            401);
        // Logged in, the fragments reach the rules as item numbers and find nothing.
        browser.login(QStringLiteral("R1"), QStringLiteral("1111"));
        const QString csrf = browser.get(QStringLiteral("/account")).csrf();
        const QStringList loans =
            tableRows(portal.db(), QStringLiteral("借出记录"), QStringLiteral("id"));
        const QStringList books =
            tableRows(portal.db(), QStringLiteral("图书"), QStringLiteral("编号"));
        for (const QString& path :
             {QStringLiteral("/renew"), QStringLiteral("/reserve"), QStringLiteral("/cancel")})
            QCOMPARE(browser.post(path, formOf({{"csrf", csrf}, {"item", fragment}})).status, 409);
        QCOMPARE(browser.get(QStringLiteral("/history?page=") + enc).status, 200);
        QCOMPARE(tableRows(portal.db(), QStringLiteral("借出记录"), QStringLiteral("id")), loans);
        QCOMPARE(tableRows(portal.db(), QStringLiteral("图书"), QStringLiteral("编号")), books);
        QCOMPARE(Fixture::intOf(portal.db(), QStringLiteral("select count(*) from 读者库")), 2);
    }

    void searchFindsAnyPartAndPages_data() { engines_data(); }
    void searchFindsAnyPartAndPages()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Portal portal(engine);
        QVERIFY(portal.ok());
        for (int i = 0; i < 25; ++i) {
            Fixture::Item b;
            b.number = QStringLiteral("C%1").arg(i, 2, 10, QLatin1Char('0'));
            b.title = QStringLiteral("数据结构第%1版").arg(i);
            b.barcode = QStringLiteral("7%1").arg(i);
            Fixture::addItem(portal.db(), b);
        }
        Fixture::Item q;
        q.table = QStringLiteral("期刊");
        q.number = QStringLiteral("Q1");
        q.title = QStringLiteral("结构期刊");
        Fixture::addItem(portal.db(), q);
        Client browser = portal.client();
        QJsonObject first =
            browser
                .get(QStringLiteral("/api/search?q=") +
                     QString::fromLatin1(QUrl::toPercentEncoding(QStringLiteral("结构"))))
                .json();
        QCOMPARE(first.value(QStringLiteral("total")).toInt(), 26);
        QCOMPARE(first.value(QStringLiteral("pages")).toInt(), 2);
        QCOMPARE(first.value(QStringLiteral("hits")).toArray().size(), ReaderPortal::kPageSize);
        const QJsonObject second =
            browser
                .get(QStringLiteral("/api/search?page=2&q=") +
                     QString::fromLatin1(QUrl::toPercentEncoding(QStringLiteral("结构"))))
                .json();
        const QJsonArray hits = second.value(QStringLiteral("hits")).toArray();
        QCOMPARE(hits.size(), 6);
        QCOMPARE(hits.last().toObject().value(QStringLiteral("kind")).toString(),
                 QStringLiteral("periodical"));
        // Case is ignored in Latin text; the page shows the shelf.
        portal.db().execute(QStringLiteral("update 图书 set 作者 = ? where 编号 = ?"),
                            {QStringLiteral("Knuth"), QStringLiteral("B2")});
        const Response page = browser.get(QStringLiteral("/search?q=KNU"));
        QVERIFY(page.text().contains(QStringLiteral("红楼梦")));
        QVERIFY(page.text().contains(QStringLiteral("在架 1 册")));
        QVERIFY(page.text().contains(QStringLiteral("二楼书库")));
        QVERIFY(page.text().contains(QStringLiteral("lang=\"zh-CN\"")));
        QVERIFY(page.text().contains(QStringLiteral("共 1 条")));

        // A text that more rows hold than the pages show: counted to the bound, said so,
        // and no page reads beyond it.
        portal.db().transaction([&] {
            for (int i = 0; i <= ReaderPortal::kMostCounted; ++i)
                portal.db().execute(QStringLiteral("insert into 图书 (编号, 名称) values (?, ?)"),
                                    {QStringLiteral("D%1").arg(i, 4, 10, QLatin1Char('0')),
                                     QStringLiteral("常见书名%1").arg(i)});
        });
        const QString common = QString::fromLatin1(QUrl::toPercentEncoding(QStringLiteral("书")));
        const QJsonObject capped = browser.get(QStringLiteral("/api/search?q=") + common).json();
        QCOMPARE(capped.value(QStringLiteral("total")).toInt(), ReaderPortal::kMostCounted);
        QCOMPARE(capped.value(QStringLiteral("more")).toBool(), true);
        const int lastPage = ReaderPortal::kMostCounted / ReaderPortal::kPageSize;
        QCOMPARE(capped.value(QStringLiteral("pages")).toInt(), lastPage);
        const auto hitsOn = [&](int n) {
            return browser.get(QStringLiteral("/api/search?page=%1&q=").arg(n) + common)
                .json()
                .value(QStringLiteral("hits"))
                .toArray()
                .size();
        };
        QCOMPARE(hitsOn(lastPage), ReaderPortal::kPageSize);
        QCOMPARE(hitsOn(lastPage + 1), 0);
        QVERIFY(browser.get(QStringLiteral("/search?q=") + common)
                    .text()
                    .contains(QStringLiteral("超过 1000 条")));
    }

    void renewalIsTheDesksRenewal_data() { engines_data(); }
    void renewalIsTheDesksRenewal()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Portal portal(engine);
        QVERIFY(portal.ok());
        // The same renewal at the desk, to the date the portal gives, on a twin library.
        TestLibrary twin(TestLibrary::Engine(engine), false, false);
        QVERIFY(twin.ok());
        addLibrary(twin.db());
        Renewal desk(twin.db());
        QVERIFY(desk.find(QStringLiteral("R1"), QStringLiteral("B1")));
        QVERIFY(desk.renew(QDate(2026, 3, 15)));

        Client browser = portal.client();
        browser.login(QStringLiteral("R1"), QStringLiteral("1111"));
        const QString csrf = browser.get(QStringLiteral("/account")).csrf();
        const Response r = browser.post(QStringLiteral("/renew"),
                                        formOf({{"csrf", csrf}, {"item", QStringLiteral("B1")}}));
        QCOMPARE(r.status, 200);
        QVERIFY(r.text().contains(Renewal::doneMessage()));
        QVERIFY(r.text().contains(QStringLiteral("2026-03-15")));
        for (const auto& [table, order] :
             {std::pair{QStringLiteral("借出记录"), QStringLiteral("id")},
              std::pair{QStringLiteral("读者库"), QStringLiteral("读者编号")},
              std::pair{QStringLiteral("图书"), QStringLiteral("编号")}})
            QCOMPARE(tableRows(portal.db(), table, order), tableRows(twin.db(), table, order));

        // Another reader's reservation of the book stops the renewal; a lapsed one does not.
        portal.db().execute(
            QStringLiteral("update 图书 set 预定状况 = ?, 预定到期时间 = ? where 编号 = ?"),
            {QStringLiteral("R2"), Fixture::fixedNow().addSecs(1), QStringLiteral("B1")});
        QStringList loans =
            tableRows(portal.db(), QStringLiteral("借出记录"), QStringLiteral("id"));
        Response again = browser.post(QStringLiteral("/renew"),
                                      formOf({{"csrf", csrf}, {"item", QStringLiteral("B1")}}));
        QCOMPARE(again.status, 409);
        QVERIFY(again.text().contains(PortalText::RenewalReserved));
        QCOMPARE(tableRows(portal.db(), QStringLiteral("借出记录"), QStringLiteral("id")), loans);
        Clock::setNow(Fixture::fixedNow().addSecs(2));
        again = browser.post(QStringLiteral("/renew"),
                             formOf({{"csrf", csrf}, {"item", QStringLiteral("B1")}}));
        QCOMPARE(again.status, 200);
        QCOMPARE(dueOf(portal.db(), QStringLiteral("R1"), QStringLiteral("B1")),
                 QDate(2026, 3, 29));

        // A category of 0 days cannot move the date: refused, nothing written.
        portal.db().execute(QStringLiteral("update 读者类别 set 借阅天数 = 0"));
        loans = tableRows(portal.db(), QStringLiteral("借出记录"), QStringLiteral("id"));
        again = browser.post(QStringLiteral("/renew"),
                             formOf({{"csrf", csrf}, {"item", QStringLiteral("B1")}}));
        QCOMPARE(again.status, 409);
        QVERIFY(again.text().contains(PortalText::renewalNotLater(QDate(2026, 3, 29))));
        QCOMPARE(tableRows(portal.db(), QStringLiteral("借出记录"), QStringLiteral("id")), loans);
    }

    void suspendedOrExpiredReaderSeesTheDesksReason_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("value");
        for (const auto& [name, engine] : {std::pair{"sqlite", int(TestLibrary::SQLite)},
                                           std::pair{"postgresql", int(TestLibrary::PostgreSQL)}}) {
            QTest::addRow("%s suspended", name)
                << engine << QStringLiteral("状态") << QVariant(QStringLiteral("停用"));
            QTest::addRow("%s expired", name)
                << engine << QStringLiteral("有效期") << QVariant(QDate(2026, 3, 1));
            QTest::addRow("%s category gone", name)
                << engine << QStringLiteral("类别") << QVariant(QStringLiteral("教师"));
        }
    }
    void suspendedOrExpiredReaderSeesTheDesksReason()
    {
        QFETCH(int, engine);
        QFETCH(QString, column);
        QFETCH(QVariant, value);
        TUSHU_REQUIRE_ENGINE(engine);
        Portal portal(engine);
        QVERIFY(portal.ok());
        portal.db().execute(QStringLiteral("update 系统设置 set 启用读者有效期 = ?"), {true});
        portal.db().execute(
            QStringLiteral("update 读者库 set %1 = ? where 读者编号 = ?").arg(column),
            {value, QStringLiteral("R1")});
        // What the lending desk says to this reader.
        Lending lending(portal.db());
        lending.settings() = ReaderPortal(portal.db()).settings();
        const ReaderCheck check = lending.RdSearch(QStringLiteral("R1"));
        QVERIFY(!check.passed);
        QVERIFY(!check.message.isEmpty());

        Client browser = portal.client();
        QCOMPARE(browser.login(QStringLiteral("R1"), QStringLiteral("1111")).status, 303);
        const Response page = browser.get(QStringLiteral("/account"));
        QCOMPARE(page.status, 200);
        QVERIFY(page.text().contains(QStringLiteral("三国"))); // he sees his loans
        QVERIFY(page.text().contains(
            check.message.toHtmlEscaped().replace(QLatin1Char('\''), QStringLiteral("&apos;"))));
        const QStringList loans =
            tableRows(portal.db(), QStringLiteral("借出记录"), QStringLiteral("id"));
        const QStringList books =
            tableRows(portal.db(), QStringLiteral("图书"), QStringLiteral("编号"));
        const QString csrf = page.csrf();
        for (const auto& [path, item] :
             {std::pair{QStringLiteral("/renew"), QStringLiteral("B1")},
              std::pair{QStringLiteral("/reserve"), QStringLiteral("B3")}}) {
            const Response r = browser.post(path, formOf({{"csrf", csrf}, {"item", item}}));
            QCOMPARE(r.status, 409);
        }
        QCOMPARE(tableRows(portal.db(), QStringLiteral("借出记录"), QStringLiteral("id")), loans);
        QCOMPARE(tableRows(portal.db(), QStringLiteral("图书"), QStringLiteral("编号")), books);
    }

    void reservationIsWhatTheDeskHonours_data() { engines_data(); }
    void reservationIsWhatTheDeskHonours()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Portal portal(engine);
        QVERIFY(portal.ok());
        Client app = portal.client();
        apiLogin(app, QStringLiteral("R1"), QStringLiteral("1111"));
        auto reserve = [&](const QString& item) {
            return app.postJson(QStringLiteral("/api/reserve"), {{QStringLiteral("item"), item}});
        };
        // On the shelf: lend it, don't reserve it.
        Response r = reserve(QStringLiteral("B2"));
        QCOMPARE(r.status, 409);
        QCOMPARE(r.json().value(QStringLiteral("message")).toString(), ReservationText::OnShelf);
        QCOMPARE(reserve(QStringLiteral("NOPE")).json().value(QStringLiteral("message")).toString(),
                 ReservationText::NoBook);
        // B3 is out (R2 has it, due 2026-03-11): held 7 days after that.
        r = reserve(QStringLiteral("B3"));
        QCOMPARE(r.status, 200);
        const QDateTime until(QDate(2026, 3, 18), QTime(23, 59, 59));
        QCOMPARE(r.json().value(QStringLiteral("message")).toString(),
                 ReservationText::placed(until));
        QCOMPARE(reserve(QStringLiteral("B3")).json().value(QStringLiteral("message")).toString(),
                 ReservationText::AlreadyYours);
        // The desk's list shows it as if typed there.
        const QList<ReservedBook> list = Reservations::list(portal.db());
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].编号, QStringLiteral("B3"));
        QCOMPARE(list[0].预定状况, QStringLiteral("R1"));
        QCOMPARE(list[0].预定到期时间, until);
        const QJsonArray mine = app.get(QStringLiteral("/api/reservations"))
                                    .json()
                                    .value(QStringLiteral("reservations"))
                                    .toArray();
        QCOMPARE(mine.size(), 1);

        // Another reader is refused, here and when the copy comes back to the desk.
        Client other = portal.client();
        other.bearer = other
                           .postJson(QStringLiteral("/api/login"),
                                     {{QStringLiteral("reader"), QStringLiteral("R2")},
                                      {QStringLiteral("password"), QStringLiteral("2222")}})
                           .json()
                           .value(QStringLiteral("token"))
                           .toString()
                           .toLatin1();
        r = other.postJson(QStringLiteral("/api/reserve"),
                           {{QStringLiteral("item"), QStringLiteral("B3")}});
        QCOMPARE(r.json().value(QStringLiteral("message")).toString(),
                 ReservationText::ReservedByOther);
        QVERIFY(!r.text().contains(QStringLiteral("R1"))); // names no one
        portal.db().execute(QStringLiteral("update 图书 set 数量 = 1 where 编号 = ?"),
                            {QStringLiteral("B3")});
        Lending lending(portal.db());
        lending.settings() = ReaderPortal(portal.db()).settings();
        QVERIFY(lending.RdSearch(QStringLiteral("R2")).passed);
        QVERIFY(lending.bksearch(QStringLiteral("B3")).message.contains(QStringLiteral("(R1)")));
        portal.db().execute(QStringLiteral("update 图书 set 数量 = 0 where 编号 = ?"),
                            {QStringLiteral("B3")});

        // Cancel: only one's own.
        r = other.postJson(QStringLiteral("/api/cancel"),
                           {{QStringLiteral("item"), QStringLiteral("B3")}});
        QCOMPARE(r.json().value(QStringLiteral("message")).toString(), ReservationText::NotYours);
        r = app.postJson(QStringLiteral("/api/cancel"),
                         {{QStringLiteral("item"), QStringLiteral("B3")}});
        QCOMPARE(r.json().value(QStringLiteral("message")).toString(), ReservationText::Cancelled);
        QVERIFY(Reservations::list(portal.db()).isEmpty());

        // A lapsed reservation no longer blocks, and with the setting off nothing is placed.
        QCOMPARE(reserve(QStringLiteral("B3")).status, 200);
        Clock::setNow(QDateTime(QDate(2026, 3, 19), QTime(0, 0)));
        // The sessions lapsed too, idle all that time.
        apiLogin(app, QStringLiteral("R1"), QStringLiteral("1111"));
        apiLogin(other, QStringLiteral("R2"), QStringLiteral("2222"));
        QCOMPARE(other
                     .postJson(QStringLiteral("/api/reserve"),
                               {{QStringLiteral("item"), QStringLiteral("B3")}})
                     .status,
                 200);
        QCOMPARE(Reservations::list(portal.db()).value(0).预定状况, QStringLiteral("R2"));
        portal.db().execute(QStringLiteral("update 系统设置 set 启用预定功能 = ?"), {false});
        portal.db().execute(QStringLiteral("update 图书 set 预定状况 = null, 预定到期时间 = null"));
        r = reserve(QStringLiteral("B3"));
        QCOMPARE(r.json().value(QStringLiteral("message")).toString(), ReservationText::Off);
        QVERIFY(Reservations::list(portal.db()).isEmpty());
    }

    void feesAreWhatTheReturnDeskCharges_data() { engines_data(); }
    void feesAreWhatTheReturnDeskCharges()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Portal portal(engine);
        QVERIFY(portal.ok());
        Client app = portal.client();
        apiLogin(app, QStringLiteral("R1"), QStringLiteral("1111"));
        // Lent 2026-02-20 at 0.5 a day, due 2026-03-01, today 2026-03-02: 10 days' rent (5)
        // and one overdue day's fine (0.1).
        const QJsonObject fees = app.get(QStringLiteral("/api/fees")).json();
        QCOMPARE(fees.value(QStringLiteral("charge_today")).toString(), QStringLiteral("5.1"));
        const QJsonObject loan = app.get(QStringLiteral("/api/items"))
                                     .json()
                                     .value(QStringLiteral("items"))
                                     .toArray()
                                     .first()
                                     .toObject();
        QCOMPARE(loan.value(QStringLiteral("due")).toString(), QStringLiteral("2026-03-01"));
        QCOMPARE(loan.value(QStringLiteral("days_overdue")).toInt(), 1);
        QCOMPARE(loan.value(QStringLiteral("rent")).toString(), QStringLiteral("5"));
        QCOMPARE(loan.value(QStringLiteral("fine")).toString(), QStringLiteral("0.1"));

        // The return desk takes exactly that off the balance.
        Returning desk(portal.db());
        desk.settings() = ReaderPortal(portal.db()).settings();
        const ReturnSearch found = desk.search({}, {}, QStringLiteral("R1"));
        QCOMPARE(found.loans.size(), 1);
        const ReturnResult back =
            desk.giveBack(found.loans[0], Returning::entryFor(desk.compute(found.loans[0])));
        QCOMPARE(back.status, ReturnResult::Returned);
        QCOMPARE(Fixture::moneyOf(portal.db(),
                                  QStringLiteral("select 卡内金额 from 读者库 where 读者编号 = ?"),
                                  {QStringLiteral("R1")}),
                 -*Money::parse(QStringLiteral("5.1")));
        // Now it is history, and the balance shows.
        const QJsonObject history = app.get(QStringLiteral("/api/history")).json();
        QCOMPARE(history.value(QStringLiteral("total")).toInt(), 1);
        QCOMPARE(
            app.get(QStringLiteral("/api/fees")).json().value(QStringLiteral("balance")).toString(),
            QStringLiteral("-5.1"));
    }

    void passwordChange_data() { engines_data(); }
    void passwordChange()
    {
        QFETCH(int, engine);
        TUSHU_REQUIRE_ENGINE(engine);
        Portal portal(engine);
        QVERIFY(portal.ok());
        Client browser = portal.client();
        Client second = portal.client();
        browser.login(QStringLiteral("R1"), QStringLiteral("1111"));
        second.login(QStringLiteral("R1"), QStringLiteral("1111"));
        const QString csrf = browser.get(QStringLiteral("/password")).csrf();
        auto change = [&](const QString& old, const QString& n, const QString& c) {
            return browser.post(QStringLiteral("/password"),
                                formOf({{"csrf", csrf}, {"old", old}, {"new", n}, {"confirm", c}}));
        };
        QVERIFY(change(QStringLiteral("0000"), QStringLiteral("5"), QStringLiteral("5"))
                    .text()
                    .contains(PortalText::WrongOldPassword));
        QVERIFY(change(QStringLiteral("1111"), QStringLiteral("5"), QStringLiteral("6"))
                    .text()
                    .contains(PortalText::Mismatch));
        QVERIFY(change(QStringLiteral("1111"), QString(), QString())
                    .text()
                    .contains(PortalText::EmptyPassword));
        QVERIFY(change(QStringLiteral("1111"), QStringLiteral("新密码5"), QStringLiteral("新密码5"))
                    .text()
                    .contains(PortalText::PasswordChanged));
        QCOMPARE(DbValue::toText(portal.db().scalar(
                     QStringLiteral("select 密码 from 读者库 where 读者编号 = ?"),
                     {QStringLiteral("R1")})),
                 QStringLiteral("新密码5"));
        // The other session of the reader ends; this one goes on.
        QCOMPARE(second.get(QStringLiteral("/account")).status, 303);
        QCOMPARE(browser.get(QStringLiteral("/account")).status, 200);
        Client fresh = portal.client();
        QCOMPARE(fresh.login(QStringLiteral("R1"), QStringLiteral("1111")).status, 401);
        QCOMPARE(fresh.login(QStringLiteral("R1"), QStringLiteral("新密码5")).status, 303);
    }

    void pagesNeedALogin()
    {
        Portal portal(TestLibrary::SQLite);
        QVERIFY(portal.ok());
        Client anonymous = portal.client();
        for (const QString& path : {QStringLiteral("/account"), QStringLiteral("/history"),
                                    QStringLiteral("/password")}) {
            const Response r = anonymous.get(path);
            QCOMPARE(r.status, 303);
            QCOMPARE(r.headers.value("location"), QByteArray("/login"));
        }
        for (const QString& path : {QStringLiteral("/api/account"), QStringLiteral("/api/items"),
                                    QStringLiteral("/api/fees"), QStringLiteral("/api/history"),
                                    QStringLiteral("/api/reservations")})
            QCOMPARE(anonymous.get(path).status, 401);
        QCOMPARE(anonymous
                     .postJson(QStringLiteral("/api/renew"),
                               {{QStringLiteral("item"), QStringLiteral("B1")}})
                     .status,
                 401);
        const Response home = anonymous.get(QStringLiteral("/"));
        QVERIFY(home.text().contains(QStringLiteral("阳光图书馆")));
        QVERIFY(home.text().contains(QStringLiteral("周日闭馆")));
        QCOMPARE(home.headers.value("x-frame-options"), QByteArray("DENY"));
        QVERIFY(home.headers.value("content-security-policy").contains("default-src 'self'"));
    }

    // With many clients at once the server handles every request that has arrived before it
    // returns to its event loop: each answer must be on its way before the next is made.
    void answersLeaveBeforeTheNextRequest()
    {
        Portal p(TestLibrary::SQLite);
        QVERIFY(p.ok());
        PortalOptions options;
        options.port = 0;
        WatchedServer server(p.db(), options);
        QString error;
        const quint16 port = server.start(&error);
        QVERIFY2(port != 0, qPrintable(error));
        Client c(port);
        QCOMPARE(c.get(QStringLiteral("/")).status, 200);
        QCOMPARE(c.get(QStringLiteral("/search?q=%E7%BA%A2%E6%A5%BC")).status, 200);
        QCOMPARE(c.get(QStringLiteral("/no-such-page")).status, 404);
        QCOMPARE(server.unsent, QList<qint64>({0, 0, 0}));
    }
};

TUSHU_TEST(PortalHttpTest)
#include "tst_PortalHttp.moc"
