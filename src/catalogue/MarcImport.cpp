#include "MarcImport.h"

#include "BookEntry.h"
#include "BookImport.h"
#include "data/SpreadsheetReader.h"

#include <QHash>
#include <QSqlQuery>

namespace {

const QString k编号 = QStringLiteral("编号");
const QString kIsbn = QStringLiteral("isbn");
const QString k分类号 = QStringLiteral("分类号");
const QString kZch = QStringLiteral("zch");
const QString k索书号 = QStringLiteral("索书号");

// Values held in the library, asked for in slices of bound values.
QSet<QString> held(const Database& db, const QString& column, const QStringList& values)
{
    constexpr int kSlice = 200;
    QSet<QString> out;
    for (qsizetype at = 0; at < values.size(); at += kSlice) {
        const QStringList slice = values.mid(at, kSlice);
        QStringList marks;
        QVariantList bound;
        for (const QString& v : slice) {
            marks << QStringLiteral("?");
            bound << v;
        }
        QSqlQuery q = db.query(QStringLiteral("select %1 from 图书 where %1 in (%2)")
                                   .arg(column, marks.join(QLatin1Char(','))),
                               bound);
        while (q.next())
            out.insert(q.value(0).toString());
    }
    return out;
}

// The records chosen for the import as the rows of a sheet: row 1 the titles, then one row
// per record in the columns of the book import's layout.
class RecordSheet : public SpreadsheetReader
{
public:
    RecordSheet(const ImportLayout& layout, const std::vector<const MarcImportRecord*>& records)
    {
        clear();
        const QStringList names = layout.columnNames();
        for (int c = 0; c < names.size(); ++c)
            setCell(1, c + 1, layout.columns[c].caption);
        int row = 2;
        for (const MarcImportRecord* r : records) {
            for (int c = 0; c < names.size(); ++c)
                setCell(row, c + 1, r->columns.value(names[c]));
            rows_.push_back(r->number);
            ++row;
        }
        finish();
    }
    bool open(const QString&, QString* error) override
    {
        *error = QStringLiteral("记录不从文件打开");
        return false;
    }
    // The record number of a sheet row.
    int recordOf(int row) const { return rows_.at(row - 2); }

private:
    std::vector<int> rows_;
};

} // namespace

QStringList MarcImport::columnNames()
{
    return BookImport::layout().columnNames();
}

bool MarcImport::load(const QString& path, QString* error)
{
    return read([&](const MarcReader::Each& each) {
        return MarcReader::forEachInFile(path, options_.read, each, error);
    });
}

bool MarcImport::loadData(const QByteArray& data, QString* error)
{
    return read([&](const MarcReader::Each& each) {
        return MarcReader::forEach(data, options_.read, each, error);
    });
}

bool MarcImport::read(const std::function<bool(const MarcReader::Each&)>& source)
{
    records_.clear();
    const bool ok = source([this](MarcEntry&& e) {
        MarcImportRecord r;
        r.number = e.number;
        r.refusal = e.refusal;
        r.format = e.format;
        r.encoding = e.encoding;
        if (e.read()) {
            r.columns = MarcMapping::columns(e.record, e.format);
            r.columns.insert(k编号, numberOf(e, r.columns));
        }
        records_.push_back(std::move(r));
    });
    if (!ok) {
        records_.clear();
        return false;
    }
    fillComputed();
    markHeld();
    return true;
}

QString MarcImport::numberOf(const MarcEntry& e, const MarcColumns& columns) const
{
    switch (options_.numbering) {
    case MarcNumbering::Barcode:
        return columns.value(QStringLiteral("条形码"));
    case MarcNumbering::ControlNumber:
        return e.record.control(QStringLiteral("001")).trimmed();
    case MarcNumbering::Auto:
        break;
    }
    return QString::number(e.number);
}

void MarcImport::fillComputed()
{
    const BookEntry entry(db_);
    // The next 种次号 of each class: above the library's highest and the file's own.
    QHash<QString, int> highest;
    for (const MarcImportRecord& r : records_) {
        const QString cls = r.columns.value(k分类号);
        if (!r.refusal.isEmpty() || cls.isEmpty())
            continue;
        if (!highest.contains(cls))
            highest.insert(cls, entry.callNumber(cls)->zch.toInt() - 1);
        bool ok = false;
        const int given = r.columns.value(kZch).toInt(&ok);
        if (ok && given > highest.value(cls))
            highest.insert(cls, given);
    }
    for (MarcImportRecord& r : records_) {
        if (!r.refusal.isEmpty())
            continue;
        MarcColumns& c = r.columns;
        c.insert(QStringLiteral("py"), BookEntry::pinyin(c.value(QStringLiteral("名称"))));
        // The entry screen's defaults where the record gives none.
        if (c.value(QStringLiteral("数量")).isEmpty())
            c.insert(QStringLiteral("数量"), BookEntry::initialRecord().数量);
        if (c.value(QStringLiteral("价格")).isEmpty())
            c.insert(QStringLiteral("价格"), BookEntry::initialRecord().价格);
        const QString cls = c.value(k分类号);
        if (cls.isEmpty())
            continue;
        if (c.value(kZch).isEmpty())
            c.insert(kZch, QString::number(++highest[cls]));
        if (c.value(k索书号).isEmpty())
            c.insert(k索书号, cls + QLatin1Char('/') + c.value(kZch));
    }
}

void MarcImport::markHeld()
{
    QStringList numbers;
    QSet<QString> isbns;
    for (const MarcImportRecord& r : records_) {
        if (!r.refusal.isEmpty())
            continue;
        if (const QString n = r.columns.value(k编号); !n.isEmpty())
            numbers << n;
        if (const QString i = r.columns.value(kIsbn); !i.isEmpty())
            isbns.insert(MarcMapping::isbnKey(i));
    }
    const QSet<QString> heldNumbers = held(db_, k编号, numbers);
    // isbn carries no index and is written in several ways ("7-115-...", "7115..."): one
    // pass over the library's ISBNs, not a scan per slice of the file's.
    QSet<QString> heldIsbns;
    if (!isbns.isEmpty()) {
        QSqlQuery q = db_.query(QStringLiteral("select isbn from 图书 where isbn <> ''"));
        while (q.next())
            if (const QString key = MarcMapping::isbnKey(q.value(0).toString());
                isbns.contains(key))
                heldIsbns.insert(key);
    }
    for (MarcImportRecord& r : records_) {
        r.numberHeld = heldNumbers.contains(r.columns.value(k编号));
        const QString isbn = r.columns.value(kIsbn);
        r.isbnHeld = !isbn.isEmpty() && heldIsbns.contains(MarcMapping::isbnKey(isbn));
    }
}

MarcImport::Result MarcImport::run(const QSet<int>& chosen,
                                   const SheetImport::Progress& progress) const
{
    Result result;
    std::vector<const MarcImportRecord*> rows;
    for (const MarcImportRecord& r : records_) {
        if (!chosen.isEmpty() && !chosen.contains(r.number))
            continue;
        if (r.refusal.isEmpty())
            rows.push_back(&r);
        else
            result.failed.insert(r.number, r.refusal);
    }
    const ImportLayout layout = BookImport::layout();
    const RecordSheet sheet(layout, rows);
    result.import = SheetImport(db_, layout).run(sheet, false, progress);
    for (auto it = result.import.failed.cbegin(); it != result.import.failed.cend(); ++it)
        result.failed.insert(sheet.recordOf(it.key()), it.value());
    return result;
}
