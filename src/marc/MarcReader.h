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
#pragma once

#include "MarcRecord.h"

#include <QByteArray>
#include <QString>
#include <functional>
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
    int number = 0; // from 1, in file order
    MarcRecord record;
    MarcFormat format = MarcFormat::Cnmarc;
    MarcEncoding encoding = MarcEncoding::Utf8; // what the record was decoded from
    QString refusal;                            // empty when read

    bool read() const { return refusal.isEmpty(); }
};

namespace MarcReader {
using Each = std::function<void(MarcEntry&&)>;
// The largest file read: a supplier's shipment is a few megabytes.
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

// Calls each entry in file order. Returns false with *error set when the file as a whole
// is no MARC file this program reads (then no entry was delivered).
bool forEach(const QByteArray& data, const MarcReadOptions& options, const Each& each,
             QString* error);
// forEach() over a file's bytes.
bool forEachInFile(const QString& path, const MarcReadOptions& options, const Each& each,
                   QString* error);

// The checks made on one ISO 2709 record (exactly its bytes, terminator included) before
// it is decoded: the reason for refusing it, empty when it may be decoded.
QString checkIso2709(const QByteArray& record);

// The character set a record declares, nullopt when it says nothing.
std::optional<MarcEncoding> declaredEncoding(const MarcRecord& undecoded, MarcFormat format);

QString encodingName(MarcEncoding encoding);
} // namespace MarcReader
