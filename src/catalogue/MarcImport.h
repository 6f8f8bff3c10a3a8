// The import of MARC records into 图书: the records of a file are read and mapped, shown in
// a preview that marks the ISBNs and 编号 the library holds already, and the chosen ones
// go in through the same import engine as the spreadsheets (one transaction, refused
// records listed with their reason). Pinyin initials, call numbers and 种次号 a record
// lacks are made by the rules of book entry.
//
// A shipment may hold a hundred thousand records: the file is read as a stream, twice.
// load() goes through it once and keeps a few bytes per record (where it starts, the marks,
// the 种次号 it is given); a record's columns are read again when they are asked for, and
// run() streams the chosen records into the import.
#pragma once

#include "data/SheetImport.h"
#include "marc/MarcMapping.h"
#include "marc/MarcReader.h"

#include <QDateTime>
#include <QMap>
#include <QSet>
#include <functional>
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
    // *error set when the file is no MARC file. Called from a worker thread, db is only
    // named: the marks are asked on a connection of its own.
    bool load(const QString& path, QString* error);
    // The same over bytes held in memory.
    bool loadData(const QByteArray& data, QString* error);
    // Called with the records read so far, at most a few times a second; false stops the
    // reading (load() then fails with an empty error).
    using Progress = std::function<bool(int records, qint64 bytes)>;
    void setLoadProgress(Progress progress) { loadProgress_ = std::move(progress); }

    int recordCount() const { return int(index_.size()); }
    int readableCount() const { return readable_; }
    int heldCount() const { return held_; }
    // Whether record number (from 1) can be imported, and whether the library holds it.
    bool readable(int number) const;
    bool held(int number) const;
    // The records number first .. first + count - 1, read again from the file.
    std::vector<MarcImportRecord> records(int first, int count) const;
    // Every record, for the tests of small files.
    std::vector<MarcImportRecord> records() const { return records(1, recordCount()); }

    struct Result
    {
        SheetImport::Result import; // its rows are record numbers
        QMap<int, QString> failed;  // record number -> why it was not imported
        int imported() const { return import.imported; }
        bool stored() const { return import.stored(); }
    };
    // Which records the operator chose, by number; empty: every readable record.
    using Chosen = std::function<bool(int number)>;
    // Imports the chosen records. Records refused on reading are listed in failed when
    // chosen (or all are taken). The progress gets record numbers as rows.
    Result run(const Chosen& chosen = {}, const SheetImport::Progress& progress = {}) const;
    // The file changed between load() and run(): no record was imported.
    static QString changedFileText();

    // The text form of the columns the preview shows and the import writes, in the order
    // of the book import's layout.
    static QStringList columnNames();

private:
    // What load() keeps of each record.
    struct Entry
    {
        qint64 offset = 0;
        int givenZch = 0; // the 种次号 made for it, 0 when it has one or needs none
        bool readable = false;
        bool numberHeld = false;
        bool isbnHeld = false;
    };
    class Scan;
    class Rows;

    bool scan(QIODevice& device, QString* error);
    // Reads the records from first on, each with the preview's columns, while each returns
    // true.
    bool reread(int first, const std::function<bool(MarcImportRecord&&)>& each,
                QString* error) const;
    MarcImportRecord recordOf(MarcEntry&& e) const;
    QString numberOf(const MarcEntry& e, const MarcColumns& columns) const;
    std::unique_ptr<QIODevice> openSource(QString* error) const;

    const Database& db_;
    MarcImportOptions options_;
    QString path_;    // the file, or
    QByteArray data_; // the bytes loadData() was given
    // The file as load() read it: another size or time means it changed since.
    qint64 loadedSize_ = 0;
    QDateTime loadedModified_;
    Progress loadProgress_;
    std::vector<Entry> index_;
    int readable_ = 0;
    int held_ = 0;
};
