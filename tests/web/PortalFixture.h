// A test library with the portal serving it on a free port of 127.0.0.1, and a small HTTP
// client that keeps cookies the way a browser does (only what the server sets, sent back by
// name) without following redirects.
#pragma once

#include "../circulation/CirculationFixture.h"
#include "../common/TestLibrary.h"
#include "web/PortalServer.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSqlRecord>
#include <QUrlQuery>
#include <memory>

namespace PortalTest {

// Two readers (R1 with password "1111", R2 with "2222") of the category 学生 (14 days, no
// rent), a book B1 that R1 has out (lent 2026-02-20, due 2026-03-01: one day overdue), a book
// B2 on the shelf, and R2's own loan of B3.
inline void addLibrary(const Database& db)
{
    using namespace Fixture;
    addCategory(db, QStringLiteral("学生"), 14, 5, m("0.5"));
    Reader r1;
    addReader(db, r1);
    Reader r2;
    r2.number = QStringLiteral("R2");
    r2.name = QStringLiteral("李四");
    addReader(db, r2);
    db.execute(QStringLiteral("update 读者库 set 密码 = ? where 读者编号 = ?"),
               {QStringLiteral("1111"), QStringLiteral("R1")});
    db.execute(QStringLiteral("update 读者库 set 密码 = ? where 读者编号 = ?"),
               {QStringLiteral("2222"), QStringLiteral("R2")});
    Item b1;
    b1.copies = 0;
    addItem(db, b1);
    Item b2;
    b2.number = QStringLiteral("B2");
    b2.title = QStringLiteral("红楼梦");
    b2.barcode = QStringLiteral("690002");
    addItem(db, b2);
    Item b3;
    b3.number = QStringLiteral("B3");
    b3.title = QStringLiteral("西游记");
    b3.barcode = QStringLiteral("690003");
    b3.copies = 0;
    addItem(db, b3);
    Loan l1;
    l1.lent = QDate(2026, 2, 20);
    l1.due = QDate(2026, 3, 1);
    l1.rent = m("0.5");
    addLoan(db, l1);
    Loan l3;
    l3.reader = QStringLiteral("R2");
    l3.readerName = QStringLiteral("李四");
    l3.item = QStringLiteral("B3");
    l3.title = QStringLiteral("西游记");
    l3.barcode = QStringLiteral("690003");
    l3.lent = QDate(2026, 2, 25);
    l3.due = QDate(2026, 3, 11);
    addLoan(db, l3);
    db.execute(
        QStringLiteral("update 系统设置 set 图书馆名 = ?, WebNotice = ?, 启用租金功能 = ?, "
                       "启用超期罚金 = ?, 启用预定功能 = ?, 超期每日罚金 = ?"),
        {QStringLiteral("阳光图书馆"), QStringLiteral("周日闭馆"), true, true, true, m("0.1")});
}

// Every column of every row of a table, in a fixed order, as text: the "same rows" check.
inline QStringList tableRows(const Database& db, const QString& table, const QString& order)
{
    QSqlQuery q = db.query(QStringLiteral("select * from %1 order by %2").arg(table, order));
    QStringList rows;
    while (q.next()) {
        QStringList cells;
        for (int i = 0; i < q.record().count(); ++i)
            cells << q.record().fieldName(i) + QLatin1Char('=') + q.value(i).toString();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

class NoJar : public QNetworkCookieJar
{
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
};

struct Response
{
    int status = 0;
    QByteArray body;
    QList<QNetworkCookie> cookies;
    QMap<QByteArray, QByteArray> headers; // lower-case names
    QString text() const { return QString::fromUtf8(body); }
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    // The value of the hidden field "csrf" of the page.
    QString csrf() const
    {
        static const QRegularExpression re(QStringLiteral("name=\"csrf\" value=\"([0-9a-f]+)\""));
        return re.match(text()).captured(1);
    }
};

class Client
{
public:
    explicit Client(quint16 port)
        : base_(QStringLiteral("http://127.0.0.1:%1").arg(port)),
          nam_(std::make_unique<QNetworkAccessManager>())
    {
        nam_->setCookieJar(new NoJar(nam_.get()));
    }

    Response get(const QString& pathAndQuery) { return send("GET", pathAndQuery, {}, {}); }
    Response post(const QString& path, const QUrlQuery& form)
    {
        return send("POST", path, form.toString(QUrl::FullyEncoded).toUtf8(),
                    "application/x-www-form-urlencoded");
    }
    Response postJson(const QString& path, const QJsonObject& o)
    {
        return send("POST", path, QJsonDocument(o).toJson(), "application/json");
    }

    QMap<QByteArray, QByteArray> cookies; // sent with every request
    QByteArray bearer;
    QMap<QByteArray, QByteArray> headers; // sent with every request (a proxy's X-Real-IP)

    // The login page, then its form: what a browser does.
    Response login(const QString& reader, const QString& password)
    {
        const Response page = get(QStringLiteral("/login"));
        QUrlQuery form;
        form.addQueryItem(QStringLiteral("csrf"), page.csrf());
        form.addQueryItem(QStringLiteral("reader"), reader);
        form.addQueryItem(QStringLiteral("password"), password);
        return post(QStringLiteral("/login"), form);
    }

private:
    Response send(const QByteArray& verb, const QString& path, const QByteArray& body,
                  const QByteArray& type)
    {
        QNetworkRequest req(QUrl(base_ + path));
        req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
        QStringList cookieParts;
        for (auto it = cookies.cbegin(); it != cookies.cend(); ++it)
            cookieParts << QString::fromLatin1(it.key() + '=' + it.value());
        if (!cookieParts.isEmpty())
            req.setRawHeader("Cookie", cookieParts.join(QStringLiteral("; ")).toLatin1());
        if (!bearer.isEmpty())
            req.setRawHeader("Authorization", "Bearer " + bearer);
        for (auto it = headers.cbegin(); it != headers.cend(); ++it)
            req.setRawHeader(it.key(), it.value());
        if (!type.isEmpty())
            req.setHeader(QNetworkRequest::ContentTypeHeader, type);
        QNetworkReply* reply = nam_->sendCustomRequest(req, verb, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        Response r;
        r.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        r.body = reply->readAll();
        for (const auto& h : reply->rawHeaderPairs())
            r.headers.insert(h.first.toLower(), h.second);
        r.cookies = reply->header(QNetworkRequest::SetCookieHeader).value<QList<QNetworkCookie>>();
        for (const QNetworkCookie& c : r.cookies) {
            if (c.expirationDate().isValid() && c.expirationDate() <= QDateTime::currentDateTime())
                cookies.remove(c.name());
            else
                cookies.insert(c.name(), c.value());
        }
        reply->deleteLater();
        return r;
    }

    QString base_;
    std::unique_ptr<QNetworkAccessManager> nam_;
};

// A library with addLibrary's rows, the clock at Fixture::fixedNow(), and the portal on it.
struct Portal
{
    explicit Portal(int engine, const PortalOptions& options = {})
        : lib(TestLibrary::Engine(engine), false, false)
    {
        Fixture::fixClock();
        if (!lib.ok())
            return;
        addLibrary(lib.db());
        PortalOptions o = options;
        o.port = 0;
        server = std::make_unique<PortalServer>(lib.db(), o);
        QString error;
        port = server->start(&error);
    }
    ~Portal() { Clock::setNow({}); }
    bool ok() const { return lib.ok() && port != 0; }
    Client client() const { return Client(port); }
    // A client seen through the proxy (options.behindProxy) as coming from address.
    Client clientFrom(const QByteArray& address) const
    {
        Client c(port);
        c.headers.insert("X-Real-IP", address);
        return c;
    }
    const Database& db() { return lib.db(); }

    TestLibrary lib;
    std::unique_ptr<PortalServer> server;
    quint16 port = 0;
};

} // namespace PortalTest
