// Copy cataloguing: one search by ISBN, title or author sent at once to several Z39.50 or
// SRU targets through YAZ's ZOOM, the records they answer read as MARC and mapped to the
// columns of 图书. The search waits on the targets' sockets in short steps, so that a
// deadline ends a target that does not answer and a cancel ends the whole search at once;
// it runs where it is called (a screen calls it from a worker thread).
#pragma once

#include "MarcMapping.h"
#include "MarcReader.h"

#include <QList>
#include <QString>
#include <atomic>

struct ZoomTarget
{
    QString name;
    QString host;
    int port = 210;
    QString database = QStringLiteral("Default");
    bool sru = false;                           // SRU over HTTP instead of Z39.50
    MarcFormat format = MarcFormat::Marc21;     // asked for as USMARC or UNIMARC
    MarcEncoding encoding = MarcEncoding::Utf8; // of records that do not say
};

enum class ZoomField
{
    Isbn,
    Title,
    Author,
};

struct ZoomRecord
{
    QString target;
    MarcFormat format = MarcFormat::Marc21;
    MarcColumns columns;
};

struct ZoomTargetOutcome
{
    QString target;
    int hits = 0;
    QString error; // the target's own message, or the time-out's
};

struct ZoomResult
{
    QList<ZoomRecord> records;
    QList<ZoomTargetOutcome> targets; // in the order given
    bool cancelled = false;
};

namespace ZoomSearch {
// The message of a target that did not answer in time.
QString timeoutText(const QString& target);

// The query in YAZ's prefix notation (Z39.50) or in CQL (SRU), the term quoted.
QString pqf(ZoomField field, const QString& term);
QString cql(ZoomField field, const QString& term);

// Searches every target; at most maxRecords records are fetched from each. A target that
// has not finished after timeoutMilliseconds is given up with timeoutText(). When *cancel
// becomes true the search ends within a step and nothing is returned.
ZoomResult run(const QList<ZoomTarget>& targets, ZoomField field, const QString& term,
               int timeoutMilliseconds, int maxRecords = 10,
               const std::atomic<bool>* cancel = nullptr);
} // namespace ZoomSearch
