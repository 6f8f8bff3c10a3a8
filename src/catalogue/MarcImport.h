// The import of MARC records into 图书: the records of a file are read and mapped, shown in
// a preview that marks the ISBNs and 编号 the library holds already, and the chosen ones
// go in through the same import engine as the spreadsheets (one transaction, refused
// records listed with their reason). Pinyin initials, call numbers and 种次号 a record
// lacks are made by the rules of book entry.
#pragma once

#include "data/SheetImport.h"
#include "marc/MarcMapping.h"
#include "marc/MarcReader.h"

#include <QMap>
#include <QSet>
#include <vector>

// Where a record's 编号 comes from: the operator's choice on the screen.
enum class MarcNumbering
{
    Barcode,       // the barcode of the record's holdings field
    ControlNumber, // field 001
    Auto,          // the record's place in the file, as "自动增加编号" numbers sheet rows
};

struct MarcImportOptions
{
    MarcReadOptions read;
    MarcNumbering numbering = MarcNumbering::Barcode;
};

struct MarcImportRecord
{
    int number = 0;  // in the file, from 1
    QString refusal; // why it cannot be imported; the columns are then empty
    MarcFormat format = MarcFormat::Cnmarc;
    MarcEncoding encoding = MarcEncoding::Utf8;
    MarcColumns columns; // by 图书 column, 编号 included, computed columns filled
    bool isbnHeld = false;
    bool numberHeld = false;
};

class MarcImport
{
public:
    MarcImport(const Database& db, MarcImportOptions options)
        : db_(db), options_(std::move(options))
    {
    }

    // Reads and maps the file's records and marks those the library holds. False with
    // *error set when the file is no MARC file.
    bool load(const QString& path, QString* error);
    bool loadData(const QByteArray& data, QString* error);
    const std::vector<MarcImportRecord>& records() const { return records_; }

    struct Result
    {
        SheetImport::Result import; // its rows are sheet rows; see failed for records
        QMap<int, QString> failed;  // record number -> why it was not imported
        int imported() const { return import.imported; }
        bool stored() const { return import.stored(); }
    };
    // Imports the chosen records (by number; all readable records when chosen is empty).
    // Records refused on reading are listed in failed when chosen (or all are taken).
    Result run(const QSet<int>& chosen = {}, const SheetImport::Progress& progress = {}) const;

    // The text form of the columns the preview shows and the import writes, in the order
    // of the book import's layout.
    static QStringList columnNames();

private:
    bool read(const std::function<bool(const MarcReader::Each&)>& source);
    QString numberOf(const MarcEntry& e, const MarcColumns& columns) const;
    void fillComputed();
    void markHeld();

    const Database& db_;
    MarcImportOptions options_;
    std::vector<MarcImportRecord> records_;
};
