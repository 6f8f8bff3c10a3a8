#include "SheetImport.h"

#include "SpreadsheetReader.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <vector>

namespace {
// Rows checked and inserted together under one savepoint.
constexpr int kBatchRows = 256;

const QString kBatchSavepoint = QStringLiteral("tushu_import_batch");
const QString kRowSavepoint = QStringLiteral("tushu_import_row");

// Thrown out of the transaction when the operator cancels, so that it rolls back.
struct Cancelled
{
};

QString placeholders(int n)
{
    QStringList marks;
    for (int i = 0; i < n; ++i)
        marks << QStringLiteral("?");
    return marks.join(QLatin1Char(','));
}
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

std::optional<QVariant> SheetImport::convert(const ImportColumn& column, const QString& cell,
                                             QString* reason)
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
        const std::optional<Money> amount = Money::parse(text);
        if (!amount) {
            *reason = QStringLiteral("%1“%2”不是金额").arg(column.caption, text);
            return std::nullopt;
        }
        return QVariant::fromValue(*amount);
    }
    }
    return std::nullopt;
}

QString SheetImport::insertSql() const
{
    QStringList columns = layout_.columnNames();
    for (const auto& [name, value] : layout_.fixed)
        columns << name;
    return QStringLiteral("insert into %1 (%2) values (%3)")
        .arg(layout_.table, columns.join(QLatin1Char(',')), placeholders(int(columns.size())));
}

void SheetImport::savepoint(const QString& name) const
{
    db_.execute(QStringLiteral("savepoint ") + name);
}

void SheetImport::releaseSavepoint(const QString& name) const
{
    db_.execute(QStringLiteral("release savepoint ") + name);
}

void SheetImport::rollbackToSavepoint(const QString& name) const
{
    db_.execute(QStringLiteral("rollback to savepoint ") + name);
}

void SheetImport::insertBatch(QSqlQuery& insert, const std::vector<Pending>& batch,
                              Result& result) const
{
    if (batch.empty())
        return;
    savepoint(kBatchSavepoint);
    try {
        for (const Pending& p : batch)
            db_.run(insert, p.values);
        releaseSavepoint(kBatchSavepoint);
        result.imported += int(batch.size());
        return;
    } catch (const DbError&) {
        rollbackToSavepoint(kBatchSavepoint);
        releaseSavepoint(kBatchSavepoint);
    }
    // Some row was refused: again one by one, to find it and keep the others.
    for (const Pending& p : batch) {
        savepoint(kRowSavepoint);
        try {
            db_.run(insert, p.values);
            releaseSavepoint(kRowSavepoint);
            ++result.imported;
        } catch (const DbError& e) {
            rollbackToSavepoint(kRowSavepoint);
            releaseSavepoint(kRowSavepoint);
            result.failed.insert(p.row, e.message());
        }
    }
}

SheetImport::Result SheetImport::run(const SpreadsheetReader& sheet, bool autoNumber,
                                     const Progress& progress) const
{
    Result result;
    const int rows = sheet.rowCount();
    const int width = int(layout_.columns.size());
    const int key = layout_.keyColumn;
    const ImportColumn& keyColumn = layout_.columns.at(key);
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    auto report = [&](int row, bool last) {
        if (!progress || (!last && sinceProgress.elapsed() < progressInterval_))
            return;
        sinceProgress.restart();
        if (!progress(row))
            throw Cancelled{};
    };
    // Summed in nanoseconds: a batch takes well under a millisecond.
    QElapsedTimer phase;
    qint64 checkNs = 0, insertNs = 0;
    try {
        db_.transaction([&] {
            QSqlQuery insert = db_.prepare(insertSql());
            const QString existingSql =
                QStringLiteral("select %1 from %2 where %1 in (%3)")
                    .arg(keyColumn.column, layout_.table, placeholders(kBatchRows));
            QSqlQuery existingFull = db_.prepare(existingSql);
            QHash<QString, int> seen; // identity -> the sheet row that holds it first
            std::vector<Pending> batch;
            batch.reserve(kBatchRows);
            QStringList cells(width);
            int row = 2;
            while (row <= rows) {
                phase.start();
                batch.clear();
                for (; row <= rows && int(batch.size()) < kBatchRows; ++row) {
                    report(row, false);
                    bool blank = true;
                    for (int c = 0; c < width; ++c) {
                        cells[c] = sheet.cell(row, c + 1);
                        blank = blank && cells[c].trimmed().isEmpty();
                    }
                    if (blank) {
                        ++result.blankRows;
                        continue;
                    }
                    if (autoNumber)
                        cells[key] = QString::number(row);
                    Pending p{row, {}};
                    p.values.reserve(width + layout_.fixed.size());
                    QString reason;
                    for (int c = 0; c < width && reason.isEmpty(); ++c) {
                        std::optional<QVariant> v = convert(layout_.columns[c], cells[c], &reason);
                        if (v)
                            p.values << *v;
                    }
                    if (!reason.isEmpty()) {
                        result.failed.insert(row, reason);
                        continue;
                    }
                    const QString id = p.values[key].toString();
                    if (const auto first = seen.constFind(id); first != seen.cend()) {
                        result.failed.insert(
                            row, QStringLiteral("%1“%2”与第%3行重复")
                                     .arg(keyColumn.caption, id, QString::number(*first)));
                        continue;
                    }
                    seen.insert(id, row);
                    for (const auto& [name, value] : layout_.fixed)
                        p.values << value;
                    batch.push_back(std::move(p));
                }
                // Identities the table holds already, whatever keys the database has.
                if (!batch.empty()) {
                    QVariantList ids;
                    for (const Pending& p : batch)
                        ids << p.values[key];
                    QSqlQuery partial;
                    QSqlQuery* existing = &existingFull;
                    if (ids.size() < kBatchRows) {
                        partial = db_.prepare(QStringLiteral("select %1 from %2 where %1 in (%3)")
                                                  .arg(keyColumn.column, layout_.table,
                                                       placeholders(int(ids.size()))));
                        existing = &partial;
                    }
                    db_.run(*existing, ids);
                    QSet<QString> taken;
                    while (existing->next())
                        taken.insert(existing->value(0).toString());
                    existing->finish();
                    if (!taken.isEmpty()) {
                        std::erase_if(batch, [&](const Pending& p) {
                            const QString id = p.values[key].toString();
                            if (!taken.contains(id))
                                return false;
                            result.failed.insert(
                                p.row,
                                QStringLiteral("%1“%2”在系统中已存在").arg(keyColumn.caption, id));
                            return true;
                        });
                    }
                }
                checkNs += phase.nsecsElapsed();
                phase.start();
                insertBatch(insert, batch, result);
                insertNs += phase.nsecsElapsed();
            }
            report(rows, true);
        });
        result.checkMilliseconds = checkNs / 1000000;
        result.insertMilliseconds = insertNs / 1000000;
    } catch (const Cancelled&) {
        result.cancelled = true;
        result.imported = 0;
    } catch (const DbError& e) {
        result.error = e.message();
        result.imported = 0;
    } catch (const std::exception& e) {
        result.error = QString::fromLocal8Bit(e.what());
        result.imported = 0;
    }
    return result;
}
