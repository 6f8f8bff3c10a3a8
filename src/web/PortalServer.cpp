#include "PortalServer.h"

#include "data/Clock.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTcpSocket>
#include <QUrl>

#include <kainjow/mustache.hpp>

#include <map>
#include <string>

namespace {

using Data = kainjow::mustache::data;
using Reply = PortalServer::Reply;
using Request = PortalServer::Request;

const QByteArray kSessionCookie = "tushu_session";
const QByteArray kLoginCookie = "tushu_login";

std::string str(const QString& s)
{
    return s.toStdString();
}

// Sets key only for a non-empty text: the template engine counts an empty text as true.
void setText(Data& d, const std::string& key, const QString& value)
{
    if (!value.isEmpty())
        d.set(key, str(value));
}

QString dateText(const QDate& d)
{
    return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

// The templates, parsed once from the program's resources.
kainjow::mustache::mustache& templateNamed(const std::string& name)
{
    static std::map<std::string, kainjow::mustache::mustache> parsed;
    auto it = parsed.find(name);
    if (it == parsed.end()) {
        QFile f(QStringLiteral(":/web/templates/%1.html").arg(QString::fromStdString(name)));
        f.open(QIODevice::ReadOnly);
        it = parsed.emplace(name, kainjow::mustache::mustache(f.readAll().toStdString())).first;
    }
    return it->second;
}

std::string render(const std::string& name, const Data& data)
{
    return templateNamed(name).render(data);
}

int pageParam(const QString& text)
{
    bool ok = false;
    const int page = text.toInt(&ok);
    return ok ? page : 1;
}

QJsonObject ruleJson(const RuleResult& r)
{
    return {{QStringLiteral("ok"), r.done()},
            {QStringLiteral("message"), r.messages.join(QLatin1Char('\n'))}};
}

int ruleStatus(const RuleResult& r)
{
    switch (r.status) {
    case RuleResult::Done:
        return 200;
    case RuleResult::Failed:
        return 500;
    default:
        return 409;
    }
}

Reply jsonReply(const QJsonObject& o, int status = 200)
{
    Reply r;
    r.status = status;
    r.contentType = "application/json; charset=utf-8";
    r.body = QJsonDocument(o).toJson(QJsonDocument::Compact);
    return r;
}

Reply jsonError(const QString& message, int status)
{
    return jsonReply({{QStringLiteral("ok"), false}, {QStringLiteral("message"), message}}, status);
}

Reply redirect(const QByteArray& to)
{
    Reply r;
    r.status = 303;
    r.headers << qMakePair(QByteArray("Location"), to);
    return r;
}

QByteArray cookieHeader(const QByteArray& name, const QByteArray& value, const QByteArray& path,
                        bool secure, bool remove = false)
{
    QByteArray c = name + '=' + value + "; Path=" + path + "; HttpOnly; SameSite=Strict";
    if (secure)
        c += "; Secure";
    if (remove)
        c += "; Max-Age=0";
    return c;
}

QJsonObject loanJson(const PortalLoan& p, const PortalAccount& a)
{
    QJsonObject o{{QStringLiteral("item"), p.loan.编号},
                  {QStringLiteral("kind"), p.loan.类别},
                  {QStringLiteral("title"), p.loan.名称},
                  {QStringLiteral("barcode"), p.loan.条形码},
                  {QStringLiteral("lent"), dateText(p.loan.借阅日期)},
                  {QStringLiteral("due"), dateText(p.loan.应还日期)},
                  {QStringLiteral("days_overdue"), std::max(0, p.figures.超期天数)},
                  {QStringLiteral("charge_today"), p.charge.toString()}};
    if (a.rentOn)
        o.insert(QStringLiteral("rent"), p.figures.rentText());
    if (a.fineOn)
        o.insert(QStringLiteral("fine"), p.figures.fineText());
    return o;
}

QJsonArray reservationsJson(const QList<ReservedBook>& list)
{
    QJsonArray out;
    for (const ReservedBook& b : list)
        out << QJsonObject{{QStringLiteral("item"), b.编号},
                           {QStringLiteral("title"), b.名称},
                           {QStringLiteral("until"),
                            b.预定到期时间.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))}};
    return out;
}

QString kindName(ItemKind k)
{
    return itemKindTable(k);
}

// "?q=...&page=n" links of a pager, or nothing where there is no such page.
Data pagerData(const QString& path, QUrlQuery query, int page, int pages)
{
    Data d;
    auto link = [&](int p) {
        query.removeAllQueryItems(QStringLiteral("page"));
        query.addQueryItem(QStringLiteral("page"), QString::number(p));
        return str(path + QLatin1Char('?') + query.toString(QUrl::FullyEncoded));
    };
    if (page > 1)
        d.set("prev", link(page - 1));
    if (page < pages)
        d.set("next", link(page + 1));
    return d;
}

} // namespace

// The templates live in a static library, whose resources only register when asked.
static void initTemplates()
{
    Q_INIT_RESOURCE(web);
}

PortalServer::PortalServer(const Database& db, const PortalOptions& options, QObject* parent)
    : QAbstractHttpServer(parent), db_(db), options_(options), portal_(db)
{
    initTemplates();
    sessions_.setIdleSeconds(options.idleSeconds);
    routes_ = {
        {"GET /", &PortalServer::homePage},
        {"GET /search", &PortalServer::searchPage},
        {"GET /item", &PortalServer::itemPage},
        {"GET /login", &PortalServer::loginPage},
        {"POST /login", &PortalServer::loginPost},
        {"POST /logout", &PortalServer::logoutPost},
        {"GET /account", &PortalServer::accountPage},
        {"GET /history", &PortalServer::historyPage},
        {"POST /renew", &PortalServer::renewPost},
        {"POST /reserve", &PortalServer::reservePost},
        {"POST /cancel", &PortalServer::cancelPost},
        {"GET /password", &PortalServer::passwordPage},
        {"POST /password", &PortalServer::passwordPost},
        {"GET /static/style.css", &PortalServer::stylesheet},
        {"POST /api/login", &PortalServer::apiLogin},
        {"POST /api/logout", &PortalServer::apiLogout},
        {"GET /api/account", &PortalServer::apiAccount},
        {"GET /api/items", &PortalServer::apiItems},
        {"GET /api/fees", &PortalServer::apiFees},
        {"GET /api/history", &PortalServer::apiHistory},
        {"GET /api/reservations", &PortalServer::apiReservations},
        {"POST /api/renew", &PortalServer::apiRenew},
        {"POST /api/reserve", &PortalServer::apiReserve},
        {"POST /api/cancel", &PortalServer::apiCancel},
        {"POST /api/password", &PortalServer::apiPassword},
        {"GET /api/search", &PortalServer::apiSearch},
        {"GET /api/item", &PortalServer::apiItem},
    };
}

quint16 PortalServer::start(QString* error)
{
    if (!options_.certificateFile.isEmpty()) {
        QFile certFile(options_.certificateFile);
        QFile keyFile(options_.keyFile);
        if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("无法读取证书或密钥文件.");
            return 0;
        }
        const QSslCertificate cert(&certFile, QSsl::Pem);
        const QByteArray pem = keyFile.readAll();
        QSslKey key(pem, QSsl::Rsa, QSsl::Pem);
        if (key.isNull())
            key = QSslKey(pem, QSsl::Ec, QSsl::Pem);
        if (cert.isNull() || key.isNull()) {
            *error = QStringLiteral("证书或密钥文件无效.");
            return 0;
        }
        sslSetup(cert, key);
    }
    const quint16 port = listen(options_.address, options_.port);
    if (port == 0)
        *error =
            QStringLiteral("无法监听 %1:%2.").arg(options_.address.toString()).arg(options_.port);
    return port;
}

PortalServer::Request PortalServer::parse(const QHttpServerRequest& request, bool* tooLarge) const
{
    Request r;
    *tooLarge = false;
    switch (request.method()) {
    case QHttpServerRequest::Method::Get:
        r.method = "GET";
        break;
    case QHttpServerRequest::Method::Head:
        r.method = "HEAD";
        break;
    case QHttpServerRequest::Method::Post:
        r.method = "POST";
        break;
    default:
        r.method = "OTHER";
        break;
    }
    r.path = request.url().path();
    r.query = request.query();
    QByteArray contentType;
    QByteArray realIp;
    QByteArray forwardedProto;
    for (const auto& h : request.headers()) {
        const QByteArray name = h.first.toLower();
        if (name == "cookie") {
            for (const QByteArray& part : h.second.split(';')) {
                const qsizetype eq = part.indexOf('=');
                if (eq > 0)
                    r.cookies.insert(part.left(eq).trimmed(), part.mid(eq + 1).trimmed());
            }
        } else if (name == "authorization") {
            if (h.second.startsWith("Bearer "))
                r.bearer = h.second.mid(7).trimmed();
        } else if (name == "content-type") {
            contentType = h.second.toLower();
        } else if (name == "x-real-ip") {
            realIp = h.second.trimmed();
        } else if (name == "x-forwarded-proto") {
            forwardedProto = h.second.trimmed().toLower();
        }
    }
    const QHostAddress peer = request.remoteAddress();
    r.client = peer.toString();
    r.secure = !options_.certificateFile.isEmpty();
    if (options_.behindProxy && peer.isLoopback()) {
        if (!realIp.isEmpty())
            r.client = QString::fromLatin1(realIp);
        r.secure = r.secure || forwardedProto == "https";
    }
    const QByteArray body = request.body();
    if (body.size() > kMaxBodyBytes) {
        *tooLarge = true;
        return r;
    }
    if (contentType.startsWith("application/json")) {
        r.json = QJsonDocument::fromJson(body).object();
    } else if (!body.isEmpty()) {
        // An url-encoded form writes a blank as "+".
        QByteArray encoded = body;
        encoded.replace('+', "%20");
        r.form = QUrlQuery(QString::fromLatin1(encoded));
    }
    return r;
}

bool PortalServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    bool tooLarge = false;
    const Request r = parse(request, &tooLarge);
    Reply reply;
    if (tooLarge) {
        reply = jsonError(WebText::TooLarge, 413);
    } else {
        try {
            reply = dispatch(r);
        } catch (const DbError& e) {
            reply = r.path.startsWith(QStringLiteral("/api/"))
                        ? jsonError(e.message(), 500)
                        : Reply{500, "text/plain; charset=utf-8", e.message().toUtf8(), {}};
        }
    }
    QHttpServerResponse response(reply.contentType, reply.body,
                                 static_cast<QHttpServerResponse::StatusCode>(reply.status));
    for (const auto& h : reply.headers)
        response.addHeader(h.first, h.second);
    response.addHeader("X-Content-Type-Options", "nosniff");
    response.addHeader("X-Frame-Options", "DENY");
    response.addHeader("Referrer-Policy", "same-origin");
    response.addHeader("Cache-Control", "no-store");
    response.addHeader("Content-Security-Policy",
                       "default-src 'self'; form-action 'self'; frame-ancestors 'none'");
    if (r.secure)
        response.addHeader("Strict-Transport-Security", "max-age=31536000");
    response.write(makeResponder(request, socket));
    // Out now: left in the socket's buffer, the answer would wait until every request that
    // arrived with it had been handled, and a quick page would take as long as the slowest.
    socket->flush();
    return true;
}

void PortalServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}

PortalServer::Reply PortalServer::dispatch(const Request& request)
{
    const QByteArray method = request.method == "HEAD" ? QByteArray("GET") : request.method;
    const auto it = routes_.constFind(method + ' ' + request.path.toUtf8());
    if (it != routes_.cend())
        return (*it)(this, request);
    if (request.path.startsWith(QStringLiteral("/api/")))
        return jsonError(WebText::NotFound, 404);
    Reply r;
    r.status = 404;
    r.contentType = "text/plain; charset=utf-8";
    r.body = WebText::NotFound.toUtf8();
    return r;
}

// ---- sessions

QByteArray PortalServer::sessionToken(const Request& r) const
{
    return r.cookies.value(kSessionCookie);
}

std::optional<WebSession> PortalServer::pageSession(const Request& r)
{
    const QByteArray token = sessionToken(r);
    return token.isEmpty() ? std::nullopt : sessions_.touch(token);
}

std::optional<WebSession> PortalServer::apiSession(const Request& r)
{
    return r.bearer.isEmpty() ? std::nullopt : sessions_.touch(r.bearer);
}

bool PortalServer::csrfMatches(const Request& r, const WebSession& s) const
{
    const QByteArray sent = r.form.queryItemValue(QStringLiteral("csrf")).toLatin1();
    return !sent.isEmpty() && ReaderPortal::sameBytes(sent, s.csrfToken);
}

std::optional<QByteArray> PortalServer::attemptLogin(const Request& r, const QString& readerNumber,
                                                     const QString& password, QString* message,
                                                     int* status)
{
    const QString readerKey = QStringLiteral("reader:") + readerNumber;
    const QString clientKey = QStringLiteral("client:") + r.client;
    if (throttle_.locked(readerKey) || throttle_.locked(clientKey)) {
        *message = WebText::Throttled;
        *status = 429;
        return std::nullopt;
    }
    if (!portal_.passwordMatches(readerNumber, password)) {
        throttle_.failed(readerKey);
        throttle_.failed(clientKey);
        *message = WebText::LoginFailed;
        *status = 401;
        return std::nullopt;
    }
    throttle_.succeeded(readerKey);
    return sessions_.create(readerNumber);
}

// ---- pages

namespace {

// The layout around a page body: the library's name, the menu (with the logout form of a
// session) and the message or error.
Reply pageReply(const LibrarySettings& settings, const QString& title, const std::string& body,
                const std::optional<WebSession>& session, const QString& message = {},
                const QString& error = {}, int status = 200)
{
    Data d;
    d.set("title", str(title));
    d.set("library",
          str(settings.图书馆名.isEmpty() ? QStringLiteral("图书馆") : settings.图书馆名));
    d.set("body", body);
    if (session) {
        Data reader;
        reader.set("csrf", session->csrfToken.toStdString());
        d.set("reader", reader);
    }
    setText(d, "message", message);
    setText(d, "error", error);
    Reply r;
    r.status = status;
    r.body = QByteArray::fromStdString(render("layout", d));
    return r;
}

std::string searchForm(const QString& q)
{
    Data d;
    d.set("q", str(q));
    return render("searchform", d);
}

} // namespace

PortalServer::Reply PortalServer::homePage(const Request& r)
{
    Data d;
    setText(d, "notice", portal_.webNotice());
    d.set("searchform", searchForm({}));
    const LibrarySettings s = portal_.settings();
    return pageReply(s, QStringLiteral("首页"), render("home", d), pageSession(r));
}

PortalServer::Reply PortalServer::searchPage(const Request& r)
{
    const QString q = r.query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
    const CataloguePage page =
        portal_.search(q, pageParam(r.query.queryItemValue(QStringLiteral("page"))));
    Data hits{Data::type::list};
    for (const CatalogueHit& h : page.hits) {
        Data hit;
        hit.set("kind", str(itemKindCode(h.kind)));
        hit.set("idParam", str(QString::fromLatin1(QUrl::toPercentEncoding(h.编号))));
        hit.set("kindName", str(kindName(h.kind)));
        hit.set("名称", str(h.名称));
        setText(hit, "作者", h.作者);
        setText(hit, "出版社", h.出版社);
        setText(hit, "索书号", h.索书号);
        setText(hit, "存放位置", h.存放位置);
        hit.set("shelf", h.数量 > 0 ? str(QStringLiteral("在架 %1 册").arg(h.数量)) : "已借出");
        hit.set("shelfClass", h.数量 > 0 ? "on-shelf" : "out");
        hits.push_back(hit);
    }
    Data d;
    d.set("searchform", searchForm(q));
    d.set("total", std::to_string(page.total));
    d.set("more", page.more);
    d.set("page", std::to_string(page.page));
    d.set("pages", std::to_string(page.pages));
    d.set("first", std::to_string((page.page - 1) * ReaderPortal::kPageSize + 1));
    d.set("hits", hits);
    QUrlQuery base;
    base.addQueryItem(QStringLiteral("q"), q);
    d.set("pager",
          render("pager", pagerData(QStringLiteral("/search"), base, page.page, page.pages)));
    return pageReply(portal_.settings(), QStringLiteral("馆藏检索"), render("search", d),
                     pageSession(r));
}

PortalServer::Reply PortalServer::itemPage(const Request& r)
{
    const std::optional<WebSession> session = pageSession(r);
    const LibrarySettings s = portal_.settings();
    const std::optional<ItemKind> kind =
        itemKindFromCode(r.query.queryItemValue(QStringLiteral("kind")));
    const QString number = r.query.queryItemValue(QStringLiteral("id"), QUrl::FullyDecoded);
    const std::optional<CatalogueItem> item = kind ? portal_.item(*kind, number) : std::nullopt;
    if (!item)
        return pageReply(s, WebText::NoItem, render("message", Data()), session, {}, {}, 404);
    Data d;
    d.set("kindName", str(kindName(item->kind)));
    d.set("编号", str(item->编号));
    Data fields{Data::type::list};
    for (const auto& f : item->fields) {
        Data field;
        field.set("label", str(f.first));
        field.set("value", str(f.second));
        fields.push_back(field);
    }
    d.set("fields", fields);
    d.set("数量", std::to_string(item->数量));
    setText(d, "存放位置", item->存放位置);
    d.set("状态", str(item->状态));
    d.set("reserved", s.启用预定功能 && item->reserved);
    const bool reservable =
        s.启用预定功能 && item->kind == ItemKind::Book && item->数量 <= 0 && !item->reserved;
    d.set("canReserve", reservable && session.has_value());
    d.set("loginToReserve", reservable && !session);
    if (session)
        d.set("csrf", session->csrfToken.toStdString());
    return pageReply(s, item->名称, render("item", d), session);
}

PortalServer::Reply PortalServer::loginForm(const Request& r, const QString& readerNumber,
                                            const QString& error, int status)
{
    // A token of the login form alone (there is no session yet), sent back with the form and
    // in a cookie of its own.
    const QByteArray formToken = SessionStore::randomToken();
    Data d;
    d.set("csrf", formToken.toStdString());
    d.set("readerNumber", str(readerNumber));
    Reply reply = pageReply(portal_.settings(), QStringLiteral("读者登录"), render("login", d),
                            std::nullopt, {}, error, status);
    reply.headers << qMakePair(QByteArray("Set-Cookie"),
                               cookieHeader(kLoginCookie, formToken, "/login", r.secure));
    return reply;
}

PortalServer::Reply PortalServer::loginPage(const Request& r)
{
    return loginForm(r, r.query.queryItemValue(QStringLiteral("reader"), QUrl::FullyDecoded), {},
                     200);
}

PortalServer::Reply PortalServer::loginPost(const Request& r)
{
    const QByteArray formToken = r.form.queryItemValue(QStringLiteral("csrf")).toLatin1();
    const QByteArray cookieToken = r.cookies.value(kLoginCookie);
    const QString reader = r.form.queryItemValue(QStringLiteral("reader"), QUrl::FullyDecoded);
    auto again = [&](const QString& error, int status) {
        return loginForm(r, reader, error, status);
    };
    if (formToken.isEmpty() || !ReaderPortal::sameBytes(formToken, cookieToken))
        return again(WebText::CsrfRefused, 403);
    const QString password = r.form.queryItemValue(QStringLiteral("password"), QUrl::FullyDecoded);
    QString message;
    int status = 200;
    const std::optional<QByteArray> token = attemptLogin(r, reader, password, &message, &status);
    if (!token)
        return again(message, status);
    // A new token at every login: whatever session the browser held ends.
    const QByteArray old = sessionToken(r);
    if (!old.isEmpty())
        sessions_.end(old);
    Reply reply = redirect("/account");
    reply.headers << qMakePair(QByteArray("Set-Cookie"),
                               cookieHeader(kSessionCookie, *token, "/", r.secure));
    reply.headers << qMakePair(QByteArray("Set-Cookie"),
                               cookieHeader(kLoginCookie, "", "/login", r.secure, true));
    return reply;
}

PortalServer::Reply PortalServer::logoutPost(const Request& r)
{
    const std::optional<WebSession> session = pageSession(r);
    if (!session)
        return redirect("/login");
    if (!csrfMatches(r, *session))
        return pageReply(portal_.settings(), QStringLiteral("退出"), render("message", Data()),
                         session, {}, WebText::CsrfRefused, 403);
    sessions_.end(sessionToken(r));
    Reply reply = pageReply(portal_.settings(), QStringLiteral("退出"), render("message", Data()),
                            std::nullopt, WebText::LoggedOut);
    reply.headers << qMakePair(QByteArray("Set-Cookie"),
                               cookieHeader(kSessionCookie, "", "/", r.secure, true));
    return reply;
}

namespace {

std::string accountBody(const PortalAccount& a, const WebSession& session)
{
    Data d;
    const std::string csrf = session.csrfToken.toStdString();
    d.set("读者编号", str(a.读者编号));
    d.set("读者姓名", str(a.读者姓名));
    d.set("类别", str(a.类别));
    d.set("状态", str(a.状态));
    setText(d, "有效期", dateText(a.有效期));
    d.set("卡内金额", str(a.卡内金额.toString()));
    d.set("累计借阅次数", std::to_string(a.累计借阅次数));
    setText(d, "blocked", a.blockedReason);
    d.set("rentOn", a.rentOn);
    d.set("fineOn", a.fineOn);
    d.set("loanCount", std::to_string(a.loans.size()));
    Data loans{Data::type::list};
    for (const PortalLoan& p : a.loans) {
        Data l;
        l.set("名称", str(p.loan.名称));
        l.set("编号", str(p.loan.编号));
        l.set("借阅日期", str(dateText(p.loan.借阅日期)));
        l.set("应还日期", str(dateText(p.loan.应还日期)));
        l.set("超期天数", std::to_string(std::max(0, p.figures.超期天数)));
        l.set("租金", str(p.figures.rentText()));
        l.set("罚金", str(p.figures.fineText()));
        l.set("rentOn", a.rentOn);
        l.set("fineOn", a.fineOn);
        l.set("canRenew", a.blockedReason.isEmpty());
        l.set("csrf", csrf);
        loans.push_back(l);
    }
    d.set("loans", loans);
    d.set("totalCharge", str(a.totalCharge.toString()));
    Data reservations{Data::type::list};
    for (const ReservedBook& b : a.reservations) {
        Data rb;
        rb.set("名称", str(b.名称));
        rb.set("编号", str(b.编号));
        rb.set("until", str(b.预定到期时间.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))));
        rb.set("csrf", csrf);
        reservations.push_back(rb);
    }
    d.set("reservations", reservations);
    return render("account", d);
}

} // namespace

PortalServer::Reply PortalServer::accountPage(const Request& r)
{
    const std::optional<WebSession> session = pageSession(r);
    if (!session)
        return redirect("/login");
    const std::optional<PortalAccount> a = portal_.account(session->readerNumber);
    if (!a)
        return pageReply(portal_.settings(), QStringLiteral("我的借阅"), render("message", Data()),
                         session, {}, PortalText::NoReader, 404);
    return pageReply(portal_.settings(), QStringLiteral("我的借阅"), accountBody(*a, *session),
                     session);
}

PortalServer::Reply PortalServer::historyPage(const Request& r)
{
    const std::optional<WebSession> session = pageSession(r);
    if (!session)
        return redirect("/login");
    const HistoryPage h = portal_.history(
        session->readerNumber, pageParam(r.query.queryItemValue(QStringLiteral("page"))));
    Data loans{Data::type::list};
    for (const HistoryLoan& l : h.loans) {
        Data row;
        row.set("名称", str(l.名称));
        row.set("借阅日期", str(dateText(l.借阅日期)));
        row.set("归还日期", str(dateText(l.归还日期)));
        row.set("租金", str(l.实际租金 ? l.实际租金->toString() : QString()));
        row.set("罚金", str(l.罚金 ? l.罚金->toString() : QString()));
        loans.push_back(row);
    }
    Data d;
    d.set("total", std::to_string(h.total));
    d.set("page", std::to_string(h.page));
    d.set("pages", std::to_string(h.pages));
    d.set("loans", loans);
    d.set("pager", render("pager", pagerData(QStringLiteral("/history"), {}, h.page, h.pages)));
    return pageReply(portal_.settings(), QStringLiteral("借阅历史"), render("history", d), session);
}

namespace {

// A changing form of the account: the session, its CSRF token, the rule, and the account
// page once more with the rule's answer.
template <typename Rule>
Reply accountChange(ReaderPortal& portal, const std::optional<WebSession>& session, bool csrfOk,
                    Rule rule)
{
    if (!session)
        return redirect("/login");
    const LibrarySettings s = portal.settings();
    if (!csrfOk)
        return pageReply(s, QStringLiteral("我的借阅"), render("message", Data()), session, {},
                         WebText::CsrfRefused, 403);
    const RuleResult result = rule(session->readerNumber);
    const QString text = result.messages.join(QLatin1Char('\n'));
    const std::optional<PortalAccount> a = portal.account(session->readerNumber);
    const std::string body = a ? accountBody(*a, *session) : render("message", Data());
    return pageReply(s, QStringLiteral("我的借阅"), body, session, result.done() ? text : QString(),
                     result.done() ? QString() : text, result.done() ? 200 : ruleStatus(result));
}

} // namespace

PortalServer::Reply PortalServer::renewPost(const Request& r)
{
    const std::optional<WebSession> session = pageSession(r);
    const QString item = r.form.queryItemValue(QStringLiteral("item"), QUrl::FullyDecoded);
    return accountChange(portal_, session, session && csrfMatches(r, *session),
                         [&](const QString& reader) { return portal_.renew(reader, item); });
}

PortalServer::Reply PortalServer::reservePost(const Request& r)
{
    const std::optional<WebSession> session = pageSession(r);
    const QString item = r.form.queryItemValue(QStringLiteral("item"), QUrl::FullyDecoded);
    return accountChange(portal_, session, session && csrfMatches(r, *session),
                         [&](const QString& reader) { return portal_.reserve(reader, item); });
}

PortalServer::Reply PortalServer::cancelPost(const Request& r)
{
    const std::optional<WebSession> session = pageSession(r);
    const QString item = r.form.queryItemValue(QStringLiteral("item"), QUrl::FullyDecoded);
    return accountChange(
        portal_, session, session && csrfMatches(r, *session),
        [&](const QString& reader) { return portal_.cancelReservation(reader, item); });
}

PortalServer::Reply PortalServer::passwordPage(const Request& r)
{
    const std::optional<WebSession> session = pageSession(r);
    if (!session)
        return redirect("/login");
    Data d;
    d.set("csrf", session->csrfToken.toStdString());
    return pageReply(portal_.settings(), QStringLiteral("修改密码"), render("password", d),
                     session);
}

PortalServer::Reply PortalServer::passwordPost(const Request& r)
{
    const std::optional<WebSession> session = pageSession(r);
    if (!session)
        return redirect("/login");
    Data d;
    d.set("csrf", session->csrfToken.toStdString());
    const LibrarySettings s = portal_.settings();
    if (!csrfMatches(r, *session))
        return pageReply(s, QStringLiteral("修改密码"), render("password", d), session, {},
                         WebText::CsrfRefused, 403);
    const auto field = [&](const char* name) {
        return r.form.queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded);
    };
    const RuleResult result =
        portal_.changePassword(session->readerNumber, field("old"), field("new"), field("confirm"));
    const QString text = result.messages.join(QLatin1Char('\n'));
    if (result.done())
        sessions_.endOthers(session->readerNumber, sessionToken(r));
    return pageReply(s, QStringLiteral("修改密码"), render("password", d), session,
                     result.done() ? text : QString(), result.done() ? QString() : text,
                     result.done() ? 200 : ruleStatus(result));
}

PortalServer::Reply PortalServer::stylesheet(const Request&)
{
    QFile f(QStringLiteral(":/web/templates/style.css"));
    f.open(QIODevice::ReadOnly);
    Reply r;
    r.contentType = "text/css; charset=utf-8";
    r.body = f.readAll();
    return r;
}

// ---- JSON interface

namespace {

QString jsonText(const QJsonObject& o, const char* key)
{
    return o.value(QString::fromLatin1(key)).toString();
}

} // namespace

PortalServer::Reply PortalServer::apiLogin(const Request& r)
{
    const QString reader = jsonText(r.json, "reader");
    const QString password = jsonText(r.json, "password");
    QString message;
    int status = 200;
    const std::optional<QByteArray> token = attemptLogin(r, reader, password, &message, &status);
    if (!token)
        return jsonError(message, status);
    return jsonReply({{QStringLiteral("ok"), true},
                      {QStringLiteral("token"), QString::fromLatin1(*token)},
                      {QStringLiteral("idle_seconds"), sessions_.idleSeconds()}});
}

PortalServer::Reply PortalServer::apiLogout(const Request& r)
{
    if (!apiSession(r))
        return jsonError(WebText::NotLoggedIn, 401);
    sessions_.end(r.bearer);
    return jsonReply(
        {{QStringLiteral("ok"), true}, {QStringLiteral("message"), WebText::LoggedOut}});
}

// The reader of the JSON interface's session, or the answer that there is none.
PortalServer::Reply
PortalServer::withAccount(const Request& r,
                          const std::function<Reply(const PortalAccount&)>& answer)
{
    const std::optional<WebSession> session = apiSession(r);
    if (!session)
        return jsonError(WebText::NotLoggedIn, 401);
    const std::optional<PortalAccount> a = portal_.account(session->readerNumber);
    if (!a)
        return jsonError(PortalText::NoReader, 404);
    return answer(*a);
}

PortalServer::Reply PortalServer::apiAccount(const Request& r)
{
    return withAccount(r, [&](const PortalAccount& account) {
        const PortalAccount* a = &account;
        QJsonObject o{{QStringLiteral("ok"), true},
                      {QStringLiteral("reader"), a->读者编号},
                      {QStringLiteral("name"), a->读者姓名},
                      {QStringLiteral("category"), a->类别},
                      {QStringLiteral("status"), a->状态},
                      {QStringLiteral("valid_until"), dateText(a->有效期)},
                      {QStringLiteral("balance"), a->卡内金额.toString()},
                      {QStringLiteral("loans_ever"), a->累计借阅次数},
                      {QStringLiteral("open_loans"), static_cast<int>(a->loans.size())},
                      {QStringLiteral("may_renew_and_reserve"), a->blockedReason.isEmpty()}};
        if (!a->blockedReason.isEmpty())
            o.insert(QStringLiteral("blocked_reason"), a->blockedReason);
        return jsonReply(o);
    });
}

PortalServer::Reply PortalServer::apiItems(const Request& r)
{
    return withAccount(r, [&](const PortalAccount& account) {
        const PortalAccount* a = &account;
        QJsonArray items;
        for (const PortalLoan& p : a->loans)
            items << loanJson(p, *a);
        return jsonReply({{QStringLiteral("ok"), true}, {QStringLiteral("items"), items}});
    });
}

PortalServer::Reply PortalServer::apiFees(const Request& r)
{
    return withAccount(r, [&](const PortalAccount& account) {
        const PortalAccount* a = &account;
        QJsonArray fees;
        for (const PortalLoan& p : a->loans)
            fees << QJsonObject{{QStringLiteral("item"), p.loan.编号},
                                {QStringLiteral("title"), p.loan.名称},
                                {QStringLiteral("charge_today"), p.charge.toString()}};
        return jsonReply({{QStringLiteral("ok"), true},
                          {QStringLiteral("balance"), a->卡内金额.toString()},
                          {QStringLiteral("charge_today"), a->totalCharge.toString()},
                          {QStringLiteral("rent_on"), a->rentOn},
                          {QStringLiteral("fine_on"), a->fineOn},
                          {QStringLiteral("fees"), fees}});
    });
}

PortalServer::Reply PortalServer::apiHistory(const Request& r)
{
    const std::optional<WebSession> session = apiSession(r);
    if (!session)
        return jsonError(WebText::NotLoggedIn, 401);
    const HistoryPage h = portal_.history(
        session->readerNumber, pageParam(r.query.queryItemValue(QStringLiteral("page"))));
    QJsonArray loans;
    for (const HistoryLoan& l : h.loans)
        loans << QJsonObject{
            {QStringLiteral("item"), l.编号},
            {QStringLiteral("kind"), l.类别},
            {QStringLiteral("title"), l.名称},
            {QStringLiteral("lent"), dateText(l.借阅日期)},
            {QStringLiteral("returned"), dateText(l.归还日期)},
            {QStringLiteral("rent"), l.实际租金 ? l.实际租金->toString() : QString()},
            {QStringLiteral("fine"), l.罚金 ? l.罚金->toString() : QString()}};
    return jsonReply({{QStringLiteral("ok"), true},
                      {QStringLiteral("total"), h.total},
                      {QStringLiteral("page"), h.page},
                      {QStringLiteral("pages"), h.pages},
                      {QStringLiteral("loans"), loans}});
}

PortalServer::Reply PortalServer::apiReservations(const Request& r)
{
    return withAccount(r, [&](const PortalAccount& account) {
        const PortalAccount* a = &account;
        return jsonReply({{QStringLiteral("ok"), true},
                          {QStringLiteral("reservations"), reservationsJson(a->reservations)}});
    });
}

namespace {

template <typename Rule> Reply apiChange(const std::optional<WebSession>& session, Rule rule)
{
    if (!session)
        return jsonError(WebText::NotLoggedIn, 401);
    const RuleResult result = rule(session->readerNumber);
    return jsonReply(ruleJson(result), ruleStatus(result));
}

} // namespace

PortalServer::Reply PortalServer::apiRenew(const Request& r)
{
    const QString item = jsonText(r.json, "item");
    return apiChange(apiSession(r),
                     [&](const QString& reader) { return portal_.renew(reader, item); });
}

PortalServer::Reply PortalServer::apiReserve(const Request& r)
{
    const QString item = jsonText(r.json, "item");
    return apiChange(apiSession(r),
                     [&](const QString& reader) { return portal_.reserve(reader, item); });
}

PortalServer::Reply PortalServer::apiCancel(const Request& r)
{
    const QString item = jsonText(r.json, "item");
    return apiChange(apiSession(r), [&](const QString& reader) {
        return portal_.cancelReservation(reader, item);
    });
}

PortalServer::Reply PortalServer::apiPassword(const Request& r)
{
    const std::optional<WebSession> session = apiSession(r);
    const QString newPassword = jsonText(r.json, "new");
    Reply reply = apiChange(session, [&](const QString& reader) {
        return portal_.changePassword(reader, jsonText(r.json, "old"), newPassword, newPassword);
    });
    if (reply.status == 200)
        sessions_.endOthers(session->readerNumber, r.bearer);
    return reply;
}

PortalServer::Reply PortalServer::apiSearch(const Request& r)
{
    const CataloguePage page =
        portal_.search(r.query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded),
                       pageParam(r.query.queryItemValue(QStringLiteral("page"))));
    QJsonArray hits;
    for (const CatalogueHit& h : page.hits)
        hits << QJsonObject{{QStringLiteral("kind"), itemKindCode(h.kind)},
                            {QStringLiteral("id"), h.编号},
                            {QStringLiteral("title"), h.名称},
                            {QStringLiteral("author"), h.作者},
                            {QStringLiteral("publisher"), h.出版社},
                            {QStringLiteral("isbn"), h.isbn},
                            {QStringLiteral("call_number"), h.索书号},
                            {QStringLiteral("location"), h.存放位置},
                            {QStringLiteral("on_shelf"), h.数量}};
    return jsonReply({{QStringLiteral("ok"), true},
                      {QStringLiteral("total"), page.total},
                      {QStringLiteral("more"), page.more},
                      {QStringLiteral("page"), page.page},
                      {QStringLiteral("pages"), page.pages},
                      {QStringLiteral("hits"), hits}});
}

PortalServer::Reply PortalServer::apiItem(const Request& r)
{
    const std::optional<ItemKind> kind =
        itemKindFromCode(r.query.queryItemValue(QStringLiteral("kind")));
    const QString number = r.query.queryItemValue(QStringLiteral("id"), QUrl::FullyDecoded);
    const std::optional<CatalogueItem> item = kind ? portal_.item(*kind, number) : std::nullopt;
    if (!item)
        return jsonError(WebText::NoItem, 404);
    QJsonObject fields;
    for (const auto& f : item->fields)
        fields.insert(f.first, f.second);
    const LibrarySettings s = portal_.settings();
    return jsonReply({{QStringLiteral("ok"), true},
                      {QStringLiteral("kind"), itemKindCode(item->kind)},
                      {QStringLiteral("id"), item->编号},
                      {QStringLiteral("title"), item->名称},
                      {QStringLiteral("on_shelf"), item->数量},
                      {QStringLiteral("location"), item->存放位置},
                      {QStringLiteral("state"), item->状态},
                      {QStringLiteral("reserved"), s.启用预定功能 && item->reserved},
                      {QStringLiteral("fields"), fields}});
}
