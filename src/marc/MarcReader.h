// Reading MARC files through YAZ: ISO 2709 (the exchange format of suppliers and union
// catalogues) and MARCXML, CNMARC or MARC21, in UTF-8, GBK/GB18030 or MARC-8.
//
// The character set is taken from the record where it says: MARC21 leader position 9
// ("a" Unicode, blank MARC-8), CNMARC field 100$a positions 26-29 ("50" Unicode, "10"
// GB 2312, read as its superset GB18030). Where the record does not say, the operator's
// choice applies.
//
// Input files lie: before YAZ sees an ISO 2709 record, its length, leader, directory and
// every field's place and terminator are checked against the bytes there really are. A
// record that fails is refused with the reason and the reader goes on at the next record
// terminator; nothing is read outside the file.
//
// Files are read as a stream, a record at a time: a shipment of any length takes the
// memory of one record.
#pragma once

#include "MarcRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

enum class MarcEncoding
{
    Utf8,
    Gb18030, // GBK and GB 2312 are subsets
    Marc8,
};

struct MarcReadOptions
{
    std::optional<MarcFormat> format; // nullopt: told by the record's title field (245/200)
    MarcEncoding undeclared = MarcEncoding::Gb18030; // where the record does not say
};

// One record of the file: read, or refused with the reason.
struct MarcEntry
{
    int number = 0;    // from 1, in file order
    qint64 offset = 0; // where the record starts in the file (ISO 2709)
    MarcRecord record;
    MarcFormat format = MarcFormat::Cnmarc;
    MarcEncoding encoding = MarcEncoding::Utf8; // what the record was decoded from
    QString refusal;                            // empty when read

    bool read() const { return refusal.isEmpty(); }
};

// Where a reading starts: the offset of an ISO 2709 record that an earlier reading gave,
// and that record's number. A MARCXML file is read from its start, the records before
// number passed over without being decoded.
struct MarcReadStart
{
    qint64 offset = 0;
    int number = 1;
};

class QFile;
class QIODevice;

// The records of a file taken one at a time, for a reader that asks for the next one.
class MarcStream
{
public:
    MarcStream(QIODevice& device, const MarcReadOptions& options, MarcReadStart start = {});
    ~MarcStream();
    MarcStream(const MarcStream&) = delete;
    MarcStream& operator=(const MarcStream&) = delete;

    // False with error() set when the file as a whole is no MARC file this program reads.
    bool open();
    // The next record, read or refused; false after the last, or when the file breaks off
    // (error() then says so).
    bool next(MarcEntry& entry);
    QString error() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

namespace MarcReader {
using Each = std::function<void(MarcEntry&&)>;
// The same, returning false to end the reading there.
using Until = std::function<bool(MarcEntry&&)>;
// The largest file read: a supplier's shipment is a few megabytes.
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

// Calls each entry in file order. Returns false with *error set when the file as a whole
// is no MARC file this program reads (then no entry was delivered).
bool forEach(const QByteArray& data, const MarcReadOptions& options, const Each& each,
             QString* error);
// forEach() over a file, read as a stream.
bool forEachInFile(const QString& path, const MarcReadOptions& options, const Each& each,
                   QString* error);
// forEach() over an open device (a file, or a buffer), from start. A MARCXML file that
// breaks off after some records returns false too, once those were delivered.
bool forEachIn(QIODevice& device, const MarcReadOptions& options, const Until& each, QString* error,
               MarcReadStart start = {});
// Opens the file for forEachIn(), refusing one too large; false with *error set.
bool openFile(QFile& file, QString* error);

// The checks made on one ISO 2709 record (exactly its bytes, terminator included) before
// it is decoded: the reason for refusing it, empty when it may be decoded.
QString checkIso2709(QByteArrayView record);

// The character set a record declares, nullopt when it says nothing.
std::optional<MarcEncoding> declaredEncoding(const MarcRecord& undecoded, MarcFormat format);

QString encodingName(MarcEncoding encoding);
} // namespace MarcReader
