#include "MarcImport.h"

#include "BookEntry.h"
#include "BookImport.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlQuery>
#include <algorithm>
#include <atomic>
#include <optional>

namespace {

const QString k编号 = QStringLiteral("编号");
const QString kIsbn = QStringLiteral("isbn");
const QString k分类号 = QStringLiteral("分类号");
const QString kZch = QStringLiteral("zch");
const QString k索书号 = QStringLiteral("索书号");
const QString k数量 = QStringLiteral("数量");
const QString k价格 = QStringLiteral("价格");

// Records whose 编号 are looked up in the library together.
constexpr int kLookupRecords = 256;
constexpr int kProgressInterval = 100;

QString connectionName()
{
    static std::atomic<int> next{0};
    return QStringLiteral("tushu-marc-%1").arg(next++);
}

// The database to ask from this thread: a connection of its own, unless the library file
// is held by this desk alone (then the desk's, in the desk's thread).
class Connection
{
public:
    explicit Connection(const Database& db) : own_(connectionName()), borrowed_(db.holdsFileAlone())
    {
        QString error;
        if (!borrowed_ && !own_.openCopyOf(db.connectionName(), db.engine(), &error))
            throw DbError(error);
        db_ = borrowed_ ? &db : &own_;
    }
    const Database& db() const { return *db_; }

private:
    Database own_;
    const bool borrowed_;
    const Database* db_ = nullptr;
};

// An ISBN's digits and X as one number: a few bytes per record instead of a string. Keys
// longer than this holds (no ISBN is) are kept as text.
std::optional<quint64> packedIsbn(const QString& key)
{
    if (key.isEmpty() || key.size() > 17)
        return std::nullopt;
    quint64 packed = 1; // so that leading zeros count
    for (QChar c : key)
        packed = packed * 11 + (c == QLatin1Char('X') ? 10 : quint64(c.unicode() - '0'));
    return packed;
}

// The ISBNs of the file, each with the records that give it.
class FileIsbns
{
public:
    void add(const QString& isbn, int index)
    {
        const QString key = MarcMapping::isbnKey(isbn);
        if (key.isEmpty())
            return;
        if (const std::optional<quint64> packed = packedIsbn(key))
            packed_.emplace_back(*packed, index);
        else
            long_[key].push_back(index);
    }
    // Calls held with the index of each record whose ISBN the library holds, in one pass
    // over the library's ISBNs: isbn carries no index and is written in several ways
    // ("7-115-...", "7115...").
    template <class Held> void markHeld(const Database& db, Held held)
    {
        if (packed_.empty() && long_.isEmpty())
            return;
        std::sort(packed_.begin(), packed_.end());
        QSqlQuery q = db.query(QStringLiteral("select isbn from 图书 where isbn <> ''"));
        while (q.next()) {
            const QString key = MarcMapping::isbnKey(q.value(0).toString());
            if (const std::optional<quint64> packed = packedIsbn(key)) {
                auto it = std::lower_bound(packed_.begin(), packed_.end(),
                                           std::pair<quint64, int>(*packed, -1));
                for (; it != packed_.end() && it->first == *packed; ++it)
                    held(it->second);
            } else if (const auto it = long_.constFind(key); it != long_.cend()) {
                for (int index : *it)
                    held(index);
            }
        }
    }

private:
    std::vector<std::pair<quint64, int>> packed_;
    QHash<QString, QList<int>> long_;
};

} // namespace

// load(): one pass over the file that keeps the index, asks the library which 编号 it
// holds a slice of records at a time, and gathers what the 种次号 and ISBN marks need.
class MarcImport::Scan
{
public:
    Scan(MarcImport& import, const Database& db) : import_(import), db_(db), entry_(db) {}

    void add(MarcEntry&& e)
    {
        Entry entry;
        entry.offset = e.offset;
        entry.readable = e.read();
        const int index = int(import_.index_.size());
        import_.index_.push_back(entry);
        if (!entry.readable)
            return;
        ++import_.readable_;
        const MarcColumns columns = MarcMapping::columns(e.record, e.format);
        if (const QString n = import_.numberOf(e, columns); !n.isEmpty())
            numbers_.emplace_back(n, index);
        isbns_.add(columns.value(kIsbn), index);
        const QString cls = columns.value(k分类号);
        if (cls.isEmpty())
            return;
        auto klass = classes_.find(cls);
        if (klass == classes_.end()) {
            const std::optional<CallNumber> next = entry_.callNumber(cls);
            klass = classes_.insert(cls, next ? next->zch.toInt() - 1 : 0);
        }
        bool given = false;
        const int zch = columns.value(kZch).toInt(&given);
        if (given)
            klass.value() = std::max(klass.value(), zch);
        else if (columns.value(kZch).isEmpty())
            needZch_.emplace_back(index, cls);
        if (numbers_.size() >= size_t(kLookupRecords))
            lookUpNumbers();
    }

    void finish()
    {
        lookUpNumbers();
        isbns_.markHeld(db_, [&](int index) { import_.index_[size_t(index)].isbnHeld = true; });
        // The next 种次号 of each class: above the library's highest and the file's own.
        for (const auto& [index, cls] : needZch_)
            import_.index_[size_t(index)].givenZch = ++classes_[cls];
        for (const Entry& e : import_.index_)
            import_.held_ += e.readable && (e.numberHeld || e.isbnHeld) ? 1 : 0;
    }

private:
    void lookUpNumbers()
    {
        if (numbers_.empty())
            return;
        QStringList marks;
        QVariantList bound;
        for (const auto& [number, index] : numbers_) {
            marks << QStringLiteral("?");
            bound << number;
        }
        QSqlQuery q = db_.query(QStringLiteral("select 编号 from 图书 where 编号 in (%1)")
                                    .arg(marks.join(QLatin1Char(','))),
                                bound);
        QSet<QString> held;
        while (q.next())
            held.insert(q.value(0).toString());
        for (const auto& [number, index] : numbers_)
            if (held.contains(number))
                import_.index_[size_t(index)].numberHeld = true;
        numbers_.clear();
    }

    MarcImport& import_;
    const Database& db_;
    const BookEntry entry_;
    std::vector<std::pair<QString, int>> numbers_; // of the slice not looked up yet
    FileIsbns isbns_;
    QHash<QString, int> classes_; // class -> the highest 种次号 so far
    std::vector<std::pair<int, QString>> needZch_;
};

// run(): the chosen records read again, as the rows of a sheet in the book import's
// layout, each under its record number, so that the import's reasons name the records.
class MarcImport::Rows : public ImportRows
{
public:
    Rows(const MarcImport& import, QIODevice& device, const Chosen& chosen, Result& result)
        : import_(import), stream_(device, import.options_.read), chosen_(chosen), result_(result),
          names_(MarcImport::columnNames())
    {
        if (!stream_.open())
            throw DbError(stream_.error());
    }
    int lastRow() const override { return import_.recordCount(); }
    int next(QStringList& cells, std::vector<char>& numbers) override
    {
        MarcEntry e;
        while (stream_.next(e)) {
            if (e.number > import_.recordCount() ||
                e.offset != import_.index_[size_t(e.number - 1)].offset)
                throw DbError(MarcImport::changedFileText());
            if (chosen_ && !chosen_(e.number))
                continue;
            if (!e.read()) {
                result_.failed.insert(e.number, e.refusal);
                continue;
            }
            const MarcImportRecord r = import_.recordOf(std::move(e));
            for (int c = 0; c < int(cells.size()); ++c) {
                cells[c] = r.columns.value(names_[c]);
                numbers[size_t(c)] = 0;
            }
            return r.number;
        }
        if (!stream_.error().isEmpty())
            throw DbError(stream_.error());
        return 0;
    }

private:
    const MarcImport& import_;
    MarcStream stream_;
    const Chosen& chosen_;
    Result& result_;
    const QStringList names_;
};

QStringList MarcImport::columnNames()
{
    return BookImport::layout().columnNames();
}

QString MarcImport::changedFileText()
{
    return QStringLiteral("MARC文件在预览之后被改动了,请重新选择文件");
}

bool MarcImport::load(const QString& path, QString* error)
{
    path_ = path;
    data_.clear();
    QFile file(path);
    if (!MarcReader::openFile(file, error))
        return false;
    const QFileInfo info(file);
    loadedSize_ = info.size();
    loadedModified_ = info.lastModified();
    return scan(file, error);
}

bool MarcImport::loadData(const QByteArray& data, QString* error)
{
    path_.clear();
    data_ = data;
    QBuffer buffer(&data_);
    buffer.open(QIODevice::ReadOnly);
    return scan(buffer, error);
}

std::unique_ptr<QIODevice> MarcImport::openSource(QString* error) const
{
    if (path_.isEmpty()) {
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(data_);
        buffer->open(QIODevice::ReadOnly);
        return buffer;
    }
    auto file = std::make_unique<QFile>(path_);
    if (!MarcReader::openFile(*file, error))
        return nullptr;
    const QFileInfo info(*file);
    if (info.size() != loadedSize_ || info.lastModified() != loadedModified_) {
        *error = changedFileText();
        return nullptr;
    }
    return file;
}

bool MarcImport::scan(QIODevice& device, QString* error)
{
    index_.clear();
    readable_ = held_ = 0;
    const Connection connection(db_);
    Scan scan(*this, connection.db());
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    bool stopped = false;
    const bool ok = MarcReader::forEachIn(
        device, options_.read,
        [&](MarcEntry&& e) {
            scan.add(std::move(e));
            if (loadProgress_ && sinceProgress.elapsed() >= kProgressInterval) {
                sinceProgress.restart();
                stopped = !loadProgress_(recordCount(), device.pos());
            }
            return !stopped;
        },
        error);
    if (!ok || stopped) {
        if (stopped)
            error->clear();
        index_.clear();
        readable_ = 0;
        return false;
    }
    scan.finish();
    return true;
}

bool MarcImport::readable(int number) const
{
    return number >= 1 && number <= recordCount() && index_[size_t(number - 1)].readable;
}

bool MarcImport::held(int number) const
{
    if (!readable(number))
        return false;
    const Entry& e = index_[size_t(number - 1)];
    return e.numberHeld || e.isbnHeld;
}

bool MarcImport::reread(int first, const std::function<bool(MarcImportRecord&&)>& each,
                        QString* error) const
{
    if (first < 1 || first > recordCount())
        return true;
    const std::unique_ptr<QIODevice> device = openSource(error);
    if (!device)
        return false;
    bool changed = false;
    const bool ok = MarcReader::forEachIn(
        *device, options_.read,
        [&](MarcEntry&& e) {
            changed = e.number > recordCount() || e.offset != index_[size_t(e.number - 1)].offset;
            return !changed && each(recordOf(std::move(e)));
        },
        error, {index_[size_t(first - 1)].offset, first});
    if (changed)
        *error = changedFileText();
    return ok && !changed;
}

std::vector<MarcImportRecord> MarcImport::records(int first, int count) const
{
    std::vector<MarcImportRecord> out;
    if (count <= 0)
        return out;
    const int last = std::min(recordCount(), first + count - 1);
    QString error;
    reread(
        first,
        [&](MarcImportRecord&& r) {
            out.push_back(std::move(r));
            return r.number < last;
        },
        &error);
    // A file changed since it was read gives what it still holds where it was; the
    // import itself refuses it.
    return out;
}

MarcImportRecord MarcImport::recordOf(MarcEntry&& e) const
{
    MarcImportRecord r;
    r.number = e.number;
    r.refusal = std::move(e.refusal);
    r.format = e.format;
    r.encoding = e.encoding;
    if (!r.refusal.isEmpty() || e.number > recordCount())
        return r;
    const Entry& entry = index_[size_t(e.number - 1)];
    r.numberHeld = entry.numberHeld;
    r.isbnHeld = entry.isbnHeld;
    MarcColumns& c = r.columns;
    c = MarcMapping::columns(e.record, e.format);
    c.insert(k编号, numberOf(e, c));
    c.insert(QStringLiteral("py"), BookEntry::pinyin(c.value(QStringLiteral("名称"))));
    // The entry screen's defaults where the record gives none.
    static const BookRecord defaults = BookEntry::initialRecord();
    if (c.value(k数量).isEmpty())
        c.insert(k数量, defaults.数量);
    if (c.value(k价格).isEmpty())
        c.insert(k价格, defaults.价格);
    const QString cls = c.value(k分类号);
    if (cls.isEmpty())
        return r;
    if (c.value(kZch).isEmpty() && entry.givenZch > 0)
        c.insert(kZch, QString::number(entry.givenZch));
    if (c.value(k索书号).isEmpty())
        c.insert(k索书号, cls + QLatin1Char('/') + c.value(kZch));
    return r;
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

MarcImport::Result MarcImport::run(const Chosen& chosen,
                                   const SheetImport::Progress& progress) const
{
    Result result;
    QString error;
    const std::unique_ptr<QIODevice> device = openSource(&error);
    if (!device) {
        result.import.error = error;
        return result;
    }
    std::optional<Rows> rows;
    try {
        rows.emplace(*this, *device, chosen, result);
    } catch (const DbError& e) {
        result.import.error = e.message();
        return result;
    }
    result.import = SheetImport(db_, BookImport::layout()).run(*rows, false, progress);
    for (auto it = result.import.failed.cbegin(); it != result.import.failed.cend(); ++it)
        result.failed.insert(it.key(), it.value());
    return result;
}
