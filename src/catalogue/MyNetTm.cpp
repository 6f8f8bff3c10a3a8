#include "MyNetTm.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTextCodec>
#include <algorithm>

namespace {
// The record marker: service_type=TAG");
const QByteArray kMarker = QByteArrayLiteral("service_type=TAG\");");

QTextCodec* localCodec()
{
    static QTextCodec* codec = QTextCodec::codecForName("GB18030");
    return codec;
}

QByteArray local(const char* utf8)
{
    return localCodec()->fromUnicode(QString::fromUtf8(utf8));
}

// Byte positions count from 1; 0 is "not found".
qsizetype pos(const QByteArray& needle, const QByteArray& text)
{
    return text.indexOf(needle) + 1;
}

// up to n bytes from position p (from 1), clamped to the text.
QByteArray copy(const QByteArray& text, qsizetype p, qsizetype n)
{
    if (p < 1)
        p = 1;
    if (p > text.size() || n <= 0)
        return {};
    return text.mid(p - 1, std::min(n, text.size() - p + 1));
}

QByteArray trim(const QByteArray& text)
{
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && quint8(text[b]) <= ' ')
        ++b;
    while (e > b && quint8(text[e - 1]) <= ' ')
        --e;
    return text.mid(b, e - b);
}

QByteArray removeBlanks(QByteArray text)
{
    text.replace("&nbsp;", " ");
    text.replace(" ", "");
    return text;
}

// The text from byte index from (from 0) up to the next end marker; empty when there is
// no end marker.
QByteArray upTo(const QByteArray& text, qsizetype from, const QByteArray& end)
{
    if (from < 0 || from > text.size())
        return {};
    const qsizetype stop = text.indexOf(end, from);
    return stop < 0 ? QByteArray() : text.mid(from, stop - from);
}

// The text starting 21 bytes after the start of the marker, up to the next "</A>".
QByteArray afterMarker(const QByteArray& text)
{
    const qsizetype m = pos(kMarker, text);
    return m == 0 ? QByteArray() : upTo(text, m - 1 + 21, "</A>");
}

// The part of a text at a heading: empty when the heading is not on the page.
QByteArray atHeading(const QByteArray& page, const char* heading, qsizetype offset, qsizetype n)
{
    const QByteArray h = local(heading);
    const qsizetype at = pos(h, page);
    return at == 0 ? QByteArray() : copy(page, at + offset, n);
}
} // namespace

CatalogueRecord CatalogueRecord::extract(const QByteArray& page)
{
    CatalogueRecord r;
    const QByteArray section = trim(atHeading(page, "题名与责任", 1, 2000));
    const qsizetype i = pos(kMarker, section);
    if (i == 0) {
        r.title = kNoTitle;
    } else {
        const qsizetype gt = section.indexOf('>', i - 1);
        const QByteArray link = gt < 0 ? QByteArray() : upTo(section, gt + 1, "<");
        const QByteArray monograph = local("[专著]");
        const QByteArray title = removeBlanks(link);
        const qsizetype at = title.indexOf(monograph);
        r.title = at < 0 ? QString() : CatalogueText::fromLocal(title.left(at));

        const QByteArray tail = removeBlanks(copy(section, i + 21, 500));
        const qsizetype m = std::max<qsizetype>(tail.indexOf(monograph), 0);
        const qsizetype slash = tail.indexOf('/', m);
        const qsizetype from = slash < 0 ? m : slash + 1;
        const qsizetype end = tail.indexOf("</A>");
        if (end >= from)
            r.author = CatalogueText::fromLocal(trim(tail.mid(from, end - from)));
    }

    const QByteArray summary = atHeading(page, "内容提要", 8, 1200);
    const qsizetype k = pos("align=left >", summary);
    if (k > 0)
        r.summary = CatalogueText::fromLocal(trim(upTo(summary, k - 1 + 12, "</td>")));

    r.classNumber =
        CatalogueText::fromLocal(trim(afterMarker(atHeading(page, "中图分类号", 10, 800))));

    const QByteArray publication =
        afterMarker(removeBlanks(trim(atHeading(page, "出版项", 6, 800))));
    const qsizetype colon = publication.indexOf(':');
    r.place = CatalogueText::fromLocal(colon < 0 ? QByteArray() : publication.left(colon));
    QByteArray rest = publication.mid(colon + 1);
    rest.chop(1);
    const qsizetype restComma = rest.indexOf(',');
    r.publisher = CatalogueText::fromLocal(restComma < 0 ? QByteArray() : rest.left(restComma));
    const qsizetype comma = publication.indexOf(',');
    r.year = CatalogueText::fromLocal(publication.mid(comma + 1, 4));
    return r;
}

std::optional<QByteArray> CatalogueText::searchAddress(const QByteArray& page)
{
    const QByteArray marker = QByteArrayLiteral("name=\"form2\"");
    const qsizetype at = page.indexOf(marker);
    if (at < 0)
        return std::nullopt;
    const qsizetype open = page.indexOf('"', at + marker.size());
    if (open < 0)
        return std::nullopt;
    const qsizetype close = page.indexOf('"', open + 1);
    if (close < 0)
        return std::nullopt;
    return page.mid(open + 1, close - open - 1);
}

QUrl CatalogueText::requestUrl(const QString& searchAddress, const QString& isbn)
{
    const QString address = (searchAddress + QStringLiteral("?func=find-m&request=") +
                             QString::fromLatin1(QUrl::toPercentEncoding(isbn.trimmed())) +
                             QStringLiteral("&find_code=ISB&FIND_BASE=NLC01"))
                                .trimmed();
    QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return QUrl();
    return url;
}

QUrl CatalogueText::baseUrl(const QString& host)
{
    const QString h = host.trimmed();
    return QUrl(h.contains(QLatin1String("://"))
                    ? h + QStringLiteral("/F")
                    : QStringLiteral("http://") + h + QStringLiteral("/F"));
}

QByteArray CatalogueText::toLocal(const QByteArray& utf8)
{
    return localCodec()->fromUnicode(QString::fromUtf8(utf8));
}

QString CatalogueText::fromLocal(const QByteArray& bytes)
{
    return localCodec()->toUnicode(bytes);
}

// ---------------------------------------------------------------------------------------

CatalogueLookup::CatalogueLookup(QUrl baseUrl, QObject* parent)
    : QObject(parent), network_(new QNetworkAccessManager(this)), base_(std::move(baseUrl))
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        timedOut_ = true;
        if (reply_)
            reply_->abort();
    });
}

CatalogueLookup::~CatalogueLookup()
{
    abort();
}

void CatalogueLookup::abort()
{
    timer_.stop();
    step_ = Step::None;
    if (QNetworkReply* r = reply_) {
        reply_ = nullptr;
        r->disconnect(this);
        r->abort();
        r->deleteLater();
    }
}

void CatalogueLookup::connectServer()
{
    if (!busy())
        get(base_, Step::Connect);
}

void CatalogueLookup::lookup(const QString& isbn)
{
    if (busy())
        return;
    isbn_ = isbn.trimmed();
    if (searchAddress_.isEmpty())
        get(base_, Step::ConnectThenLookup);
    else
        startLookup();
}

void CatalogueLookup::startLookup()
{
    const QUrl url = CatalogueText::requestUrl(searchAddress_, isbn_);
    if (!url.isValid()) {
        emit lookupFinished(Outcome::Failed, isbn_, {});
        return;
    }
    get(url, Step::Lookup);
}

void CatalogueLookup::get(const QUrl& url, Step step)
{
    if (step == Step::Lookup)
        lastRequest_ = url;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Internet Explorer 6.0"));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(timeoutMs_);
    step_ = step;
    tooLarge_ = false;
    timedOut_ = false;
    reply_ = network_->get(request);
    connect(reply_, &QNetworkReply::readyRead, this, [this] {
        if (reply_ && reply_->bytesAvailable() > maxBytes_) {
            tooLarge_ = true;
            reply_->abort();
        }
    });
    connect(reply_, &QNetworkReply::finished, this, &CatalogueLookup::finished);
    timer_.start(timeoutMs_);
}

void CatalogueLookup::finished()
{
    timer_.stop();
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    if (!reply)
        return;
    reply->deleteLater();
    const Step step = step_;
    step_ = Step::None;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QString failure;
    if (tooLarge_)
        failure = QStringLiteral("服务器返回的页面过大");
    else if (timedOut_)
        failure = QStringLiteral("服务器没有响应");
    else if (reply->error() != QNetworkReply::NoError)
        failure = reply->errorString();
    else if (status >= 400)
        failure = QStringLiteral("服务器返回错误 %1").arg(status);
    const QByteArray page =
        failure.isEmpty() ? CatalogueText::toLocal(reply->readAll()) : QByteArray();

    if (step == Step::Connect || step == Step::ConnectThenLookup) {
        std::optional<QByteArray> address;
        if (failure.isEmpty()) {
            address = CatalogueText::searchAddress(page);
            if (!address)
                failure = QStringLiteral("服务器的页面中没有检索表单");
        }
        if (!failure.isEmpty()) {
            emit connectFinished(false, QStringLiteral("连接服务器失败:") + failure);
            if (step == Step::ConnectThenLookup)
                emit lookupFinished(Outcome::Failed, isbn_, {});
            return;
        }
        searchAddress_ = CatalogueText::fromLocal(*address);
        emit connectFinished(true, CatalogueText::Connected);
        if (step == Step::ConnectThenLookup)
            startLookup();
        return;
    }
    if (!failure.isEmpty()) {
        emit lookupFinished(Outcome::Failed, isbn_, {});
        return;
    }
    const CatalogueRecord record = CatalogueRecord::extract(page);
    emit lookupFinished(record.found() ? Outcome::Found : Outcome::NotFound, isbn_, record);
}
