// Writing books as MARC records through YAZ: ISO 2709 or MARCXML, CNMARC or MARC21, always
// UTF-8 (declared in the leader for MARC21, in field 100 for CNMARC). The fields are those
// of the mapping table, so that a written file reads back into the same columns.
#pragma once

#include "MarcMapping.h"

#include <QByteArray>
#include <QDate>
#include <memory>

enum class MarcSyntax
{
    Iso2709,
    MarcXml,
};

class MarcWriter
{
public:
    MarcWriter(MarcFormat format, MarcSyntax syntax, QDate today);
    ~MarcWriter();
    MarcWriter(const MarcWriter&) = delete;
    MarcWriter& operator=(const MarcWriter&) = delete;

    // The record of a book's columns (by 图书 column name, as text), 001 holding its 编号.
    MarcRecord record(const MarcColumns& book) const;
    // Appends the book's record to the output; false with *error set when it cannot be
    // written (an ISO 2709 record longer than its five-digit length allows).
    bool add(const MarcColumns& book, QString* error);
    // The whole output: the records, closed as a MARCXML collection when that is written.
    QByteArray finish();

    // ISO 2709 counts a record's length in five digits.
    static constexpr int kMaxRecordBytes = 99999;

private:
    struct Yaz;
    MarcFormat format_;
    MarcSyntax syntax_;
    QDate today_;
    std::unique_ptr<Yaz> yaz_;
    QByteArray out_;
};
