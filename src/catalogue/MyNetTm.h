// The online ISBN lookup without its window: reading a catalogue page by its markers and
// offsets (CatalogueRecord::extract, on the page's GB18030 bytes), and the two requests to
// the catalogue (CatalogueLookup), asynchronous, with a time-out and a size cap.
#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <optional>

class QNetworkAccessManager;

struct CatalogueRecord
{
    QString title;
    QString author;
    QString classNumber;
    QString place;
    QString publisher;
    QString year;
    QString summary;

    static inline const QString kNoTitle = QStringLiteral("没有找到名称!");

    // Reads a record page given as GB18030 bytes. Every cut is clamped to the page: a
    // missing marker gives an empty field (the title "没有找到名称!" without a record).
    static CatalogueRecord extract(const QByteArray& page);
    bool found() const { return title != kNoTitle; }
};

namespace CatalogueText {
// The search address in a start page (GB18030 bytes): the first quoted text after the
// form2 marker; nullopt when the page has no such form.
std::optional<QByteArray> searchAddress(const QByteArray& page);
// The request address of an ISBN, the ISBN percent-encoded; an invalid QUrl when the
// search address is not http or https.
QUrl requestUrl(const QString& searchAddress, const QString& isbn);
// "http://HOST/F", or HOST + "/F" when the setting carries its own scheme.
QUrl baseUrl(const QString& host);
// A page as the catalogue sends it (UTF-8) in GB18030 bytes, and back.
QByteArray toLocal(const QByteArray& utf8);
QString fromLocal(const QByteArray& bytes);

inline const QString Connected = QStringLiteral("连接成功,可以联网获取资料!");
inline const QString NotFound = QStringLiteral(" 服务器中无改条码的图书资料!");
} // namespace CatalogueText

class CatalogueLookup : public QObject
{
    Q_OBJECT
public:
    explicit CatalogueLookup(QUrl baseUrl, QObject* parent = nullptr);
    ~CatalogueLookup() override;

    void setTimeout(int milliseconds) { timeoutMs_ = milliseconds; }
    void setMaxBytes(qint64 bytes) { maxBytes_ = bytes; }

    bool busy() const { return reply_ != nullptr; }
    QString searchAddress() const { return searchAddress_; }
    QUrl lastRequest() const { return lastRequest_; }

    // "连接服务器": fetches the start page and keeps its search address.
    void connectServer();
    // "获取数据": connects first when there is no search address yet.
    void lookup(const QString& isbn);
    // Ends a running request; nothing is reported for it.
    void abort();

    enum class Outcome
    {
        Found,
        NotFound,
        Failed,
    };
    Q_ENUM(Outcome)

signals:
    // ok with CatalogueText::Connected, or the reason it failed.
    void connectFinished(bool ok, const QString& message);
    void lookupFinished(CatalogueLookup::Outcome outcome, const QString& isbn,
                        const CatalogueRecord& record);

private:
    enum class Step
    {
        None,
        Connect,
        ConnectThenLookup,
        Lookup,
    };
    void get(const QUrl& url, Step step);
    void finished();
    void startLookup();

    QNetworkAccessManager* network_;
    QPointer<QNetworkReply> reply_;
    QTimer timer_;
    QUrl base_;
    QString searchAddress_;
    QString isbn_;
    QUrl lastRequest_;
    Step step_ = Step::None;
    bool tooLarge_ = false;
    bool timedOut_ = false;
    int timeoutMs_ = 15000;
    qint64 maxBytes_ = 8 * 1024 * 1024;
};
