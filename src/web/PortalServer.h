// The HTTP side of the reader portal: the pages (server-rendered from the templates in
// templates/, every value HTML-escaped by the template engine) and the JSON interface under
// /api/, both over ReaderPortal. Sessions ride in an HttpOnly, SameSite=Strict cookie for the
// pages (Secure when served over TLS) and in an "Authorization: Bearer" header for the JSON
// interface; every page form that changes something carries the session's CSRF token.
#pragma once

#include "ReaderPortal.h"
#include "WebSessions.h"

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrlQuery>
#include <functional>

struct PortalOptions
{
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = 8080;
    // Direct TLS: PEM files of the certificate and its key; empty = plain HTTP.
    QString certificateFile;
    QString keyFile;
    // Behind a reverse proxy on this machine: the client's address is taken from X-Real-IP
    // and TLS from X-Forwarded-Proto, each only when the peer is the loopback address.
    bool behindProxy = false;
    int idleSeconds = SessionStore::kDefaultIdleSeconds;
};

class PortalServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    PortalServer(const Database& db, const PortalOptions& options, QObject* parent = nullptr);

    // Listens on the options' address and port (0 = any free port). Returns the port, or 0
    // with *error set.
    quint16 start(QString* error);

    SessionStore& sessions() { return sessions_; }
    LoginThrottle& throttle() { return throttle_; }

    static constexpr qsizetype kMaxBodyBytes = 64 * 1024;

    struct Request
    {
        QByteArray method;
        QString path;
        QUrlQuery query;
        QUrlQuery form;   // an url-encoded body
        QJsonObject json; // a JSON body
        QHash<QByteArray, QByteArray> cookies;
        QByteArray bearer;
        QString client; // the client's address
        bool secure = false;
    };
    struct Reply
    {
        int status = 200;
        QByteArray contentType = "text/html; charset=utf-8";
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
    };

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    using Handler = std::function<Reply(PortalServer*, const Request&)>;
    Request parse(const QHttpServerRequest& request, bool* tooLarge) const;
    Reply dispatch(const Request& request);

    // Pages.
    Reply homePage(const Request& r);
    Reply searchPage(const Request& r);
    Reply itemPage(const Request& r);
    Reply loginForm(const Request& r, const QString& readerNumber, const QString& error,
                    int status);
    Reply loginPage(const Request& r);
    Reply loginPost(const Request& r);
    Reply logoutPost(const Request& r);
    Reply accountPage(const Request& r);
    Reply historyPage(const Request& r);
    Reply renewPost(const Request& r);
    Reply reservePost(const Request& r);
    Reply cancelPost(const Request& r);
    Reply passwordPage(const Request& r);
    Reply passwordPost(const Request& r);
    Reply stylesheet(const Request& r);

    // JSON interface.
    Reply apiLogin(const Request& r);
    Reply apiLogout(const Request& r);
    Reply apiAccount(const Request& r);
    Reply apiItems(const Request& r);
    Reply apiFees(const Request& r);
    Reply apiHistory(const Request& r);
    Reply apiReservations(const Request& r);
    Reply apiRenew(const Request& r);
    Reply apiReserve(const Request& r);
    Reply apiCancel(const Request& r);
    Reply apiPassword(const Request& r);
    Reply apiSearch(const Request& r);
    Reply apiItem(const Request& r);

    // The session of the page's cookie, or of the JSON interface's bearer token.
    std::optional<WebSession> pageSession(const Request& r);
    std::optional<WebSession> apiSession(const Request& r);
    Reply withAccount(const Request& r, const std::function<Reply(const PortalAccount&)>& answer);
    QByteArray sessionToken(const Request& r) const;
    bool csrfMatches(const Request& r, const WebSession& s) const;

    // One login attempt under throttling; the session token when it succeeded. *message
    // is the text to answer otherwise.
    std::optional<QByteArray> attemptLogin(const Request& r, const QString& readerNumber,
                                           const QString& password, QString* message, int* status);

    const Database& db_;
    PortalOptions options_;
    ReaderPortal portal_;
    SessionStore sessions_;
    LoginThrottle throttle_;
    QHash<QByteArray, Handler> routes_;
};

namespace WebText {
inline const QString LoginFailed = QStringLiteral("读者编号或密码错误.");
inline const QString Throttled = QStringLiteral("登录失败次数过多,请15分钟后再试.");
inline const QString CsrfRefused = QStringLiteral("请求无效,请返回上一页刷新后重试.");
inline const QString NotLoggedIn = QStringLiteral("请先登录.");
inline const QString NotFound = QStringLiteral("没有找到该页面.");
inline const QString NoItem = QStringLiteral("没有找到该资料.");
inline const QString BadRequest = QStringLiteral("请求格式不正确.");
inline const QString TooLarge = QStringLiteral("请求太大.");
inline const QString LoggedOut = QStringLiteral("您已退出登录.");
} // namespace WebText
