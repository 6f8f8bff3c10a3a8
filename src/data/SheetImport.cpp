#include "SheetImport.h"

#include "SpreadsheetReader.h"

#include <QElapsedTimer>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <atomic>
#include <vector>

namespace {
// Rows whose identities are looked up in the table together.
constexpr int kCheckRows = 256;
// Rows staged by one insert statement.
constexpr int kStageRows = 32;
// Staged rows copied into the table by one statement under one savepoint.
constexpr int kSliceRows = 1024;

const QString kSliceSavepoint = QStringLiteral("tushu_import_slice");
const QString kRowSavepoint = QStringLiteral("tushu_import_row");

// Thrown out of the import when the operator cancels, so that it rolls back.
struct Cancelled
{
};

QString placeholders(int n)
{
    QString marks;
    marks.reserve(2 * n);
    for (int i = 0; i < n; ++i)
        marks += i ? QStringLiteral(",?") : QStringLiteral("?");
    return marks;
}

QString connectionName()
{
    static std::atomic<int> next{0};
    return QStringLiteral("tushu-import-%1").arg(next++);
}

// The rows of a sheet read into memory, 2 to its last used row.
class SheetRows : public ImportRows
{
public:
    explicit SheetRows(const SpreadsheetReader& sheet) : sheet_(sheet) {}
    int lastRow() const override { return sheet_.rowCount(); }
    int next(QStringList& cells, std::vector<char>& numbers) override
    {
        if (row_ > sheet_.rowCount())
            return 0;
        for (int c = 0; c < int(cells.size()); ++c) {
            bool number = false;
            cells[c] = sheet_.cell(row_, c + 1, &number);
            numbers[size_t(c)] = number;
        }
        return row_++;
    }

private:
    const SpreadsheetReader& sheet_;
    int row_ = 2;
};
} // namespace

QStringList ImportLayout::columnNames() const
{
    QStringList names;
    for (const ImportColumn& c : columns)
        names << c.column;
    return names;
}

QString SheetImport::Result::failedRowsText() const
{
    QString text;
    for (auto it = failed.cbegin(); it != failed.cend(); ++it)
        text += QString::number(it.key()) + QLatin1Char(',');
    return text;
}

bool SheetImport::isScientific(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)[eE][+-]?[0-9]+$"));
    return pattern.match(text).hasMatch();
}

bool SheetImport::isInexactWholeNumber(const QString& numberText)
{
    qsizetype i = numberText.startsWith(QLatin1Char('-')) ? 1 : 0;
    while (i < numberText.size() && numberText.at(i) == QLatin1Char('0'))
        ++i;
    int digits = 0;
    for (; i < numberText.size(); ++i, ++digits)
        if (numberText.at(i) < QLatin1Char('0') || numberText.at(i) > QLatin1Char('9'))
            return false;
    return digits >= 16;
}

std::optional<QVariant> SheetImport::convert(const ImportColumn& column, const QString& cell,
                                             QString* reason, bool isNumber)
{
    const QString text = cell.trimmed();
    if (text.isEmpty() && column.required) {
        *reason = QStringLiteral("%1是必有项目").arg(column.caption);
        return std::nullopt;
    }
    switch (column.kind) {
    case ImportColumn::Kind::Text:
        return QVariant(text);
    case ImportColumn::Kind::Identity:
        if (isScientific(text)) {
            *reason = QStringLiteral("%1“%2”是科学计数法,号码已不完整").arg(column.caption, text);
            return std::nullopt;
        }
        if (isNumber && isInexactWholeNumber(text)) {
            *reason = QStringLiteral("%1“%2”在表格中是数字,超过15位的号码已不准确:请把这一列设为"
                                     "文本格式,再重新输入号码")
                          .arg(column.caption, text);
            return std::nullopt;
        }
        return QVariant(text);
    case ImportColumn::Kind::Integer: {
        if (text.isEmpty() && column.empty == ImportColumn::Empty::Zero)
            return QVariant(0);
        if (text.isEmpty() && column.empty == ImportColumn::Empty::Null)
            return QVariant(QMetaType::fromType<int>());
        bool ok = false;
        const int value = text.toInt(&ok);
        if (!ok) {
            *reason = QStringLiteral("%1“%2”不是整数").arg(column.caption, text);
            return std::nullopt;
        }
        return QVariant(value);
    }
    case ImportColumn::Kind::Money: {
        // A number cell (a formula's result among them) carries binary noise such as
        // 0.30000000000000004: it is rounded to the four decimals an amount keeps. Text a
        // person typed must be an amount as it stands.
        std::optional<Money> amount;
        bool ok = false;
        const double value = isNumber ? text.toDouble(&ok) : 0;
        if (ok)
            amount = Money::fromVariant(value);
        else
            amount = Money::parse(text);
        if (!amount) {
            *reason = QStringLiteral("%1“%2”不是金额").arg(column.caption, text);
            return std::nullopt;
        }
        return QVariant::fromValue(*amount);
    }
    }
    return std::nullopt;
}

// One import: the checks and the staging, then the transaction that stores the rows.
class SheetImport::Run
{
public:
    Run(const SheetImport& import, ImportRows& sheet, bool autoNumber, const Progress& progress,
        Result& result)
        : own_(connectionName()), borrowed_(import.db_.holdsFileAlone()),
          db_(borrowed_ ? import.db_ : own_), layout_(import.layout_), sheet_(sheet),
          autoNumber_(autoNumber), progress_(progress), interval_(import.progressInterval_),
          result_(result), key_(layout_.keyColumn), keyColumn_(layout_.columns.at(key_))
    {
        // A library file held by this desk alone (on a shared folder) has no second
        // connection: the import then works on the desk's own, in the desk's thread.
        QString error;
        if (!borrowed_ &&
            !own_.openCopyOf(import.db_.connectionName(), import.db_.engine(), &error))
            throw DbError(error);
        sinceProgress_.start();
    }
    ~Run()
    {
        if (!borrowed_)
            return; // closing the connection of its own ends the staging and drops its table
        try {
            if (stagingOpen_)
                db_.execute(QStringLiteral("rollback"));
            db_.execute(QStringLiteral("drop table if exists temp.%1").arg(stagingTable()));
        } catch (const DbError&) {
            // the staging table is the connection's own; it goes when the desk closes
        }
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    void stage();
    void write();
    int written() const { return stored_; }

private:
    struct Pending
    {
        int seq; // the sheet row; less its sign for a repeated identity
        QString id;
        QVariantList values;
    };

    void report(Phase phase, int row, bool last);
    // Rows of batch whose identity the table holds already fail.
    void dropExisting(std::vector<Pending>& batch);
    void stageRows(const std::vector<Pending>& batch);
    // Runs query with values under a savepoint; false with the row listed when the
    // database refuses it.
    bool tryRow(QSqlQuery& query, const QVariantList& values, int row);
    void savepoint(const QString& name) const;
    void releaseSavepoint(const QString& name) const;
    void rollbackToSavepoint(const QString& name) const;
    QString stagingTable() const;
    QString allColumns() const;

    Database own_;
    const bool borrowed_;
    const Database& db_;
    const ImportLayout& layout_;
    ImportRows& sheet_;
    const bool autoNumber_;
    const Progress& progress_;
    const int interval_;
    Result& result_;
    const int key_;
    const ImportColumn& keyColumn_;
    QElapsedTimer sinceProgress_;

    QHash<QString, int> firstRow_;               // identity -> the first row staged with it
    std::vector<int> staged_;                    // rows staged under their first identity
    std::vector<std::pair<int, QString>> again_; // rows staged with an identity seen before
    QSet<int> refused_;                          // rows the database refused
    std::optional<QSqlQuery> lookupFull_, stageFull_, stageOne_;
    bool stagingOpen_ = false; // the staging transaction on SQLite; closing the connection
                               // ends it
    int stored_ = 0;
    QString lastStoredId_;
};

void SheetImport::Run::report(Phase phase, int row, bool last)
{
    if (!progress_ || (!last && sinceProgress_.elapsed() < interval_))
        return;
    sinceProgress_.restart();
    if (!progress_(phase, row))
        throw Cancelled{};
}

QString SheetImport::Run::stagingTable() const
{
    return QStringLiteral("tushu_import_rows");
}

QString SheetImport::Run::allColumns() const
{
    QStringList columns = layout_.columnNames();
    for (const auto& [name, value] : layout_.fixed)
        columns << name;
    return columns.join(QLatin1Char(','));
}

void SheetImport::Run::savepoint(const QString& name) const
{
    db_.execute(QStringLiteral("savepoint ") + name);
}

void SheetImport::Run::releaseSavepoint(const QString& name) const
{
    db_.execute(QStringLiteral("release savepoint ") + name);
}

void SheetImport::Run::rollbackToSavepoint(const QString& name) const
{
    db_.execute(QStringLiteral("rollback to savepoint ") + name);
}

void SheetImport::Run::dropExisting(std::vector<Pending>& batch)
{
    if (batch.empty())
        return;
    QVariantList ids;
    for (const Pending& p : batch)
        ids << p.id;
    auto lookup = [&](int n) {
        return db_.prepare(QStringLiteral("select %1 from %2 where %1 in (%3)")
                               .arg(keyColumn_.column, layout_.table, placeholders(n)));
    };
    std::optional<QSqlQuery> part;
    if (ids.size() < kCheckRows)
        part = lookup(int(ids.size()));
    else if (!lookupFull_)
        lookupFull_ = lookup(kCheckRows);
    QSqlQuery& existing = part ? *part : *lookupFull_;
    db_.run(existing, ids);
    QSet<QString> taken;
    while (existing.next())
        taken.insert(existing.value(0).toString());
    existing.finish();
    if (taken.isEmpty())
        return;
    std::erase_if(batch, [&](const Pending& p) {
        if (!taken.contains(p.id))
            return false;
        result_.failed.insert(p.seq,
                              QStringLiteral("%1“%2”在系统中已存在").arg(keyColumn_.caption, p.id));
        return true;
    });
}

bool SheetImport::Run::tryRow(QSqlQuery& query, const QVariantList& values, int row)
{
    savepoint(kRowSavepoint);
    try {
        db_.run(query, values);
        releaseSavepoint(kRowSavepoint);
        return true;
    } catch (const DbConnectionLost&) {
        throw;
    } catch (const DbError& e) {
        rollbackToSavepoint(kRowSavepoint);
        releaseSavepoint(kRowSavepoint);
        result_.failed.insert(row, e.message());
        refused_.insert(row);
        return false;
    }
}

void SheetImport::Run::stageRows(const std::vector<Pending>& batch)
{
    const int width = int(layout_.columns.size() + layout_.fixed.size()) + 1;
    auto statement = [&](int rows) {
        const QString oneRow = QLatin1Char('(') + placeholders(width) + QLatin1Char(')');
        QStringList tuples;
        for (int i = 0; i < rows; ++i)
            tuples << oneRow;
        return db_.prepare(
            QStringLiteral("insert into %1 (seq,%2) values ").arg(stagingTable(), allColumns()) +
            tuples.join(QLatin1Char(',')));
    };
    if (!stageFull_)
        stageFull_ = statement(kStageRows);
    for (size_t start = 0; start < batch.size(); start += kStageRows) {
        const int rows = int(std::min<size_t>(kStageRows, batch.size() - start));
        QVariantList values;
        values.reserve(rows * width);
        for (int i = 0; i < rows; ++i) {
            const Pending& p = batch[start + i];
            values << p.seq;
            values << p.values;
        }
        bool ok = true;
        try {
            if (rows == kStageRows) {
                db_.run(*stageFull_, values);
            } else {
                QSqlQuery part = statement(rows);
                db_.run(part, values);
            }
        } catch (const DbConnectionLost&) {
            throw;
        } catch (const DbError&) {
            ok = false;
        }
        // A value of the wrong kind: each row on its own, to list the one refused.
        for (int i = 0; i < rows; ++i) {
            const Pending& p = batch[start + i];
            const int row = std::abs(p.seq);
            if (!ok) {
                if (!stageOne_)
                    stageOne_ = statement(1);
                try {
                    db_.run(*stageOne_, QVariantList{p.seq} + p.values);
                } catch (const DbConnectionLost&) {
                    throw;
                } catch (const DbError& e) {
                    result_.failed.insert(row, e.message());
                    refused_.insert(row);
                    continue;
                }
            }
            if (p.seq > 0)
                staged_.push_back(row);
            else
                again_.emplace_back(row, p.id);
        }
    }
}

void SheetImport::Run::stage()
{
    if (db_.engine() == DbEngine::SQLite) {
        // Untyped columns keep each value as bound; the copy into the table then converts
        // it as a direct insert would. The staging is one transaction that writes only the
        // connection's own temporary file: the library stays open to the other desks.
        db_.execute(QStringLiteral("drop table if exists temp.%1").arg(stagingTable()));
        db_.execute(QStringLiteral("create temp table %1 (seq integer primary key, %2)")
                        .arg(stagingTable(), allColumns()));
        db_.execute(QStringLiteral("begin deferred"));
        stagingOpen_ = true;
    } else {
        // The table's own column types: a value of the wrong kind is refused here.
        db_.execute(
            QStringLiteral("create temp table %1 as select 0 as seq, %2 from %3 where 1 = 0")
                .arg(stagingTable(), allColumns(), layout_.table));
        db_.execute(QStringLiteral("create index on %1 (seq)").arg(stagingTable()));
    }

    const int rows = sheet_.lastRow();
    const int width = int(layout_.columns.size());
    std::vector<Pending> batch;
    batch.reserve(kCheckRows);
    QStringList cells(width);
    std::vector<char> numbers(size_t(width), 0);
    QElapsedTimer phase;
    qint64 checkNs = 0, stageNs = 0;
    int row = sheet_.next(cells, numbers);
    while (row > 0) {
        phase.start();
        batch.clear();
        for (; row > 0 && int(batch.size()) < kCheckRows; row = sheet_.next(cells, numbers)) {
            report(Phase::Checking, row, false);
            bool blank = true;
            for (int c = 0; c < width && blank; ++c)
                blank = cells[c].trimmed().isEmpty();
            if (blank) {
                ++result_.blankRows;
                continue;
            }
            if (autoNumber_) {
                cells[key_] = QString::number(row);
                numbers[size_t(key_)] = false;
            }
            Pending p{row, {}, {}};
            p.values.reserve(width + layout_.fixed.size());
            QString reason;
            for (int c = 0; c < width && reason.isEmpty(); ++c) {
                std::optional<QVariant> v =
                    convert(layout_.columns[c], cells[c], &reason, numbers[size_t(c)]);
                if (v)
                    p.values << *v;
            }
            if (!reason.isEmpty()) {
                result_.failed.insert(row, reason);
                continue;
            }
            p.id = p.values[key_].toString();
            for (const auto& [name, value] : layout_.fixed)
                p.values << value;
            batch.push_back(std::move(p));
        }
        // Identities the table holds already, whatever keys the database has.
        dropExisting(batch);
        // A repeated identity is staged too: it goes in when the row that had it first is
        // refused by the database.
        for (Pending& p : batch) {
            if (firstRow_.contains(p.id))
                p.seq = -p.seq;
            else
                firstRow_.insert(p.id, p.seq);
        }
        checkNs += phase.nsecsElapsed();
        phase.start();
        stageRows(batch);
        stageNs += phase.nsecsElapsed();
    }
    if (stagingOpen_) {
        db_.execute(QStringLiteral("commit"));
        stagingOpen_ = false;
    }
    report(Phase::Checking, rows, true);
    result_.checkMilliseconds = checkNs / 1000000;
    result_.insertMilliseconds = stageNs / 1000000;
}

void SheetImport::Run::write()
{
    QElapsedTimer timer;
    timer.start();
    const QString columns = allColumns();
    const QString copy = QStringLiteral("insert into %1 (%2) select %2 from %3 ")
                             .arg(layout_.table, columns, stagingTable());
    db_.transaction(
        [&] {
            QSqlQuery slice =
                db_.prepare(copy + QStringLiteral("where seq between ? and ? order by seq"));
            QSqlQuery one = db_.prepare(copy + QStringLiteral("where seq = ?"));
            for (size_t start = 0; start < staged_.size(); start += kSliceRows) {
                const size_t end = std::min(staged_.size(), start + kSliceRows);
                savepoint(kSliceSavepoint);
                bool ok = true;
                try {
                    db_.run(slice, {staged_[start], staged_[end - 1]});
                    releaseSavepoint(kSliceSavepoint);
                } catch (const DbConnectionLost&) {
                    throw;
                } catch (const DbError&) {
                    rollbackToSavepoint(kSliceSavepoint);
                    releaseSavepoint(kSliceSavepoint);
                    ok = false;
                }
                // Some row was refused: again one by one, to find it and keep the others.
                for (size_t i = start; i < end; ++i) {
                    if (ok || tryRow(one, {staged_[i]}, staged_[i]))
                        ++stored_;
                }
                report(Phase::Writing, staged_[end - 1], false);
            }
            // A repeated identity is refused, unless every row before it that had the same
            // was refused by the database: a row's identity counts once the row is stored.
            QHash<QString, int> storedAgain;
            for (const auto& [row, id] : again_) {
                const int first = firstRow_.value(id);
                const int holder = !refused_.contains(first) ? first : storedAgain.value(id);
                if (holder > 0) {
                    result_.failed.insert(
                        row, QStringLiteral("%1“%2”与第%3行重复")
                                 .arg(keyColumn_.caption, id, QString::number(holder)));
                } else if (tryRow(one, {-row}, row)) {
                    storedAgain.insert(id, row);
                    ++stored_;
                }
            }
            for (auto it = firstRow_.cbegin(); it != firstRow_.cend() && lastStoredId_.isEmpty();
                 ++it)
                if (!refused_.contains(it.value()))
                    lastStoredId_ = it.key();
            if (lastStoredId_.isEmpty() && !storedAgain.isEmpty())
                lastStoredId_ = storedAgain.cbegin().key();
            report(Phase::Writing, sheet_.lastRow(), true);
        },
        // The COMMIT failed: one of the rows written tells whether the database kept them.
        [&] {
            return lastStoredId_.isEmpty() ||
                   db_.scalar(QStringLiteral("select count(*) from %1 where %2 = ?")
                                  .arg(layout_.table, keyColumn_.column),
                              {lastStoredId_})
                           .toInt() > 0;
        });
    result_.writeMilliseconds = timer.elapsed();
    // The rows stand in the write-ahead log now; the import moves them into the file itself,
    // so that the next desk to commit does not wait for that.
    if (db_.engine() == DbEngine::SQLite) {
        try {
            db_.execute(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
        } catch (const DbError&) {
            // a later commit does it
        }
    }
    result_.insertMilliseconds += result_.writeMilliseconds;
}

SheetImport::Result SheetImport::run(const SpreadsheetReader& sheet, bool autoNumber,
                                     const Progress& progress) const
{
    SheetRows rows(sheet);
    return run(rows, autoNumber, progress);
}

SheetImport::Result SheetImport::run(ImportRows& sheet, bool autoNumber,
                                     const Progress& progress) const
{
    Result result;
    std::optional<Run> work;
    try {
        work.emplace(*this, sheet, autoNumber, progress, result);
        work->stage();
        work->write();
        result.imported = work->written();
    } catch (const Cancelled&) {
        result.cancelled = true;
    } catch (const DbConnectionLost& e) {
        result.error = e.message();
        result.outcomeUnknown = e.outcomeUnknown();
        if (result.outcomeUnknown)
            result.imported = work ? work->written() : 0;
    } catch (const DbError& e) {
        result.error = e.message();
    } catch (const std::exception& e) {
        result.error = QString::fromLocal8Bit(e.what());
    }
    return result;
}
