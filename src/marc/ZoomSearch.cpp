#include "ZoomSearch.h"

#include <QElapsedTimer>
#include <climits>
#include <poll.h>
#include <vector>
#include <yaz/zoom.h>

namespace {

// The longest a step waits on the sockets before it looks at the deadline and the cancel.
constexpr int kStepMilliseconds = 20;

QString quoted(const QString& term, bool cqlQuotes)
{
    QString t = term.trimmed();
    t.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    t.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    if (cqlQuotes) {
        // CQL masks: a term is matched as typed.
        t.replace(QLatin1Char('*'), QStringLiteral("\\*"));
        t.replace(QLatin1Char('?'), QStringLiteral("\\?"));
    }
    return QLatin1Char('"') + t + QLatin1Char('"');
}

struct Session
{
    const ZoomTarget* target = nullptr;
    ZOOM_connection connection = nullptr;
    ZOOM_resultset results = nullptr;
    bool done = false;
    QString error;
};

void start(Session& s, ZOOM_options options, ZoomField field, const QString& term)
{
    const ZoomTarget& t = *s.target;
    s.connection = ZOOM_connection_create(options);
    ZOOM_connection c = s.connection;
    const QByteArray database = t.database.toUtf8();
    ZOOM_connection_option_set(c, "databaseName", database.constData());
    ZOOM_connection_option_set(c, "preferredRecordSyntax",
                               t.format == MarcFormat::Cnmarc ? "unimarc" : "usmarc");
    QByteArray address;
    if (t.sru) {
        ZOOM_connection_option_set(c, "sru", "get");
        ZOOM_connection_option_set(c, "sru_version", "1.2");
        ZOOM_connection_option_set(c, "schema", "marcxml");
        address =
            QStringLiteral("http://%1:%2/%3").arg(t.host).arg(t.port).arg(t.database).toUtf8();
    } else {
        address = QStringLiteral("tcp:%1:%2").arg(t.host).arg(t.port).toUtf8();
    }
    ZOOM_connection_connect(c, address.constData(), 0);
    ZOOM_query q = ZOOM_query_create();
    const QByteArray query =
        (t.sru ? ZoomSearch::cql(field, term) : ZoomSearch::pqf(field, term)).toUtf8();
    if (t.sru)
        ZOOM_query_cql(q, query.constData());
    else
        ZOOM_query_prefix(q, query.constData());
    s.results = ZOOM_connection_search(c, q);
    ZOOM_query_destroy(q);
}

// The target's error, empty when the search went through.
QString errorOf(ZOOM_connection c)
{
    const char* message = nullptr;
    const char* info = nullptr;
    if (ZOOM_connection_error(c, &message, &info) == 0)
        return {};
    QString text = QString::fromUtf8(message ? message : "");
    if (info && *info)
        text += QStringLiteral(": ") + QString::fromUtf8(info);
    return text;
}

void collect(const Session& s, int maxRecords, ZoomResult& result, ZoomTargetOutcome& outcome)
{
    outcome.hits = int(std::min<size_t>(ZOOM_resultset_size(s.results), size_t(INT_MAX)));
    const size_t fetched = std::min<size_t>(ZOOM_resultset_size(s.results), size_t(maxRecords));
    MarcReadOptions options;
    options.format = s.target->format;
    options.undeclared = s.target->encoding;
    for (size_t i = 0; i < fetched; ++i) {
        ZOOM_record record = ZOOM_resultset_record_immediate(s.results, i);
        int length = 0;
        const char* raw = record ? ZOOM_record_get(record, "raw", &length) : nullptr;
        if (!raw || length <= 0)
            continue;
        QString error;
        MarcReader::forEach(
            QByteArray(raw, length), options,
            [&](MarcEntry&& e) {
                if (e.read())
                    result.records.push_back(
                        {s.target->name, e.format, MarcMapping::columns(e.record, e.format)});
            },
            &error);
    }
}

} // namespace

namespace ZoomSearch {

QString timeoutText(const QString& target)
{
    return QStringLiteral("%1没有在规定的时间内应答").arg(target);
}

QString pqf(ZoomField field, const QString& term)
{
    // Bib-1 use attributes: 7 ISBN, 4 title, 1003 author.
    const int use = field == ZoomField::Isbn ? 7 : field == ZoomField::Title ? 4 : 1003;
    QString t = term.trimmed();
    if (field == ZoomField::Isbn)
        t = MarcMapping::isbnKey(t);
    return QStringLiteral("@attr 1=%1 %2").arg(use).arg(quoted(t, false));
}

QString cql(ZoomField field, const QString& term)
{
    const char* index = field == ZoomField::Isbn    ? "bath.isbn"
                        : field == ZoomField::Title ? "dc.title"
                                                    : "dc.creator";
    QString t = term.trimmed();
    if (field == ZoomField::Isbn)
        t = MarcMapping::isbnKey(t);
    return QLatin1String(index) + QLatin1Char('=') + quoted(t, true);
}

ZoomResult run(const QList<ZoomTarget>& targets, ZoomField field, const QString& term,
               int timeoutMilliseconds, int maxRecords, const std::atomic<bool>* cancel)
{
    ZoomResult result;
    ZOOM_options options = ZOOM_options_create();
    ZOOM_options_set(options, "async", "1");
    // The first records come with the search, so that one exchange gives the list.
    ZOOM_options_set_int(options, "count", maxRecords);
    std::vector<Session> sessions(size_t(targets.size()));
    for (qsizetype i = 0; i < targets.size(); ++i) {
        sessions[size_t(i)].target = &targets[i];
        start(sessions[size_t(i)], options, field, term);
    }
    QElapsedTimer clock;
    clock.start();
    std::vector<pollfd> fds;
    std::vector<Session*> polled;
    while (true) {
        if (cancel && cancel->load()) {
            result.cancelled = true;
            break;
        }
        bool pending = false;
        for (Session& s : sessions) {
            while (!s.done && ZOOM_connection_process(s.connection)) {
            }
            if (!s.done && ZOOM_connection_is_idle(s.connection))
                s.done = true;
            pending = pending || !s.done;
        }
        if (!pending)
            break;
        if (clock.elapsed() >= timeoutMilliseconds) {
            for (Session& s : sessions)
                if (!s.done) {
                    s.done = true;
                    s.error = ZoomSearch::timeoutText(s.target->name);
                }
            break;
        }
        fds.clear();
        polled.clear();
        for (Session& s : sessions) {
            const int socket = s.done ? -1 : ZOOM_connection_get_socket(s.connection);
            if (socket < 0)
                continue;
            const int mask = ZOOM_connection_get_mask(s.connection);
            short events = 0;
            if (mask & ZOOM_SELECT_READ)
                events |= POLLIN;
            if (mask & ZOOM_SELECT_WRITE)
                events |= POLLOUT;
            if (mask & ZOOM_SELECT_EXCEPT)
                events |= POLLPRI;
            fds.push_back({socket, events, 0});
            polled.push_back(&s);
        }
        if (fds.empty())
            continue;
        if (::poll(fds.data(), nfds_t(fds.size()), kStepMilliseconds) <= 0)
            continue;
        for (size_t i = 0; i < fds.size(); ++i) {
            int ready = 0;
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                ready |= ZOOM_SELECT_READ;
            if (fds[i].revents & POLLOUT)
                ready |= ZOOM_SELECT_WRITE;
            if (fds[i].revents & POLLPRI)
                ready |= ZOOM_SELECT_EXCEPT;
            if (ready)
                ZOOM_connection_fire_event_socket(polled[i]->connection, ready);
        }
    }
    for (Session& s : sessions) {
        if (!result.cancelled) {
            ZoomTargetOutcome outcome{s.target->name, 0, s.error};
            if (outcome.error.isEmpty())
                outcome.error = errorOf(s.connection);
            if (outcome.error.isEmpty())
                collect(s, maxRecords, result, outcome);
            result.targets.push_back(outcome);
        }
        ZOOM_resultset_destroy(s.results);
        ZOOM_connection_destroy(s.connection);
    }
    ZOOM_options_destroy(options);
    if (result.cancelled)
        result.records.clear();
    return result;
}

} // namespace ZoomSearch
