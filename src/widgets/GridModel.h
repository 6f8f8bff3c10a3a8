// The table model under DataGrid: the rows of a statement, read lazily in chunks over a
// forward-only query (a million-row list shows its first rows without reading the rest),
// or rows handed over as a list. Values show as a librarian reads them (FieldFormat).
//
// Roles: Qt::DisplayRole the shown text, Qt::UserRole the raw database value,
// GridModel::SortRole a key that sorts money, numbers and dates by value.
#pragma once

#include "report/FieldFormat.h"

#include <QAbstractTableModel>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>
#include <memory>
#include <optional>

class Database;

class GridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int SortRole = Qt::UserRole + 1;
    static constexpr int kDefaultChunk = 256;
    // Statements of at most this many rows are sorted in memory, all rows read first.
    static constexpr int kSortInMemoryRows = 10000;

    explicit GridModel(QObject* parent = nullptr);
    ~GridModel() override;

    // Runs the statement with its bound values and reads the first chunk. Throws DbError
    // (the model is then empty, keeping the statement's fields when known).
    void setQuery(const Database& db, const QString& sql, const QVariantList& values = {});
    // Runs the current statement again (same order as last set by sort()).
    void refresh();
    // Rows handed over as a list (no statement).
    void setRows(const QStringList& fields, const QList<QVariantList>& rows);
    void clear();

    void setChunkSize(int rows) { chunk_ = qMax(1, rows); }
    int chunkSize() const { return chunk_; }
    // The connection the rows are read on (a second one on a server), once a statement ran.
    const Database* cursorConnection() const { return cursorDb_ ? cursorDb_.get() : db_; }
    void setFieldKind(const QString& field, FieldKind kind);
    FieldKind fieldKind(int column) const;

    const QStringList& fields() const { return fields_; }
    int fieldIndex(const QString& field) const; // case ignored; -1 when missing
    QVariant value(int row, int column) const;
    QVariant value(int row, const QString& field) const;
    bool allFetched() const { return !query_.isActive(); }
    void fetchAll();
    bool hasStatement() const { return db_ != nullptr; }
    const Database* database() const { return db_; }

    // Filtering by value through the database: only the rows whose field holds value (a NULL
    // or empty value: the rows where it is NULL or empty text) are read, counted, summed,
    // sorted, printed and exported. The statement runs again, in its order; nullopt lifts
    // the field's filter. Fields are the statement's own, never typed names.
    void setValueFilter(const QString& field, const std::optional<QVariant>& value);
    void clearValueFilters();
    bool hasValueFilter(const QString& field) const;
    bool hasValueFilters() const { return !filters_.isEmpty(); }
    // Whether the rows are in an order the database gave them (a sort of a large statement).
    bool orderedByDatabase() const { return !orderBy_.isEmpty(); }

    // The different values of a field, in order, at most limit of them: over the statement
    // (with the filters on the other fields) asked of the database when there is one, so
    // that a million rows are not read for them; otherwise over the rows in memory. With
    // contains, only values whose text holds it (ASCII letter case ignored). *more tells
    // whether values were left out.
    QVariantList distinctValues(const QString& field, const QString& contains, int limit,
                                bool* more = nullptr) const;

    // Count of the statement's rows and the exact sum of a field, asked of the database over
    // the statement wrapped as a subquery, so that nothing has to be read for them.
    qint64 statementCount() const;
    FieldSum statementSum(const QString& field, FieldKind kind = FieldKind::Auto) const;
    // The count and the sums of several fields in one aggregate statement (money summed as
    // whole ten-thousandths, so that it is exact where amounts are stored as REAL).
    struct Aggregates
    {
        qint64 count = 0;
        QList<FieldSum> sums; // in the order of the fields asked
    };
    Aggregates statementAggregates(const QStringList& sumFields) const;
    // The aggregate statement of statementAggregates() on its own, so that it can run on
    // another connection (in another thread): nullopt when the rows are all in memory.
    struct AggregateQuery
    {
        QString sql;
        QVariantList values;
        QStringList fields;     // the summed fields, in order
        QList<FieldKind> kinds; // FieldKind::Auto for a field not of the statement
        QList<bool> inUnits;    // summed as whole ten-thousandths
    };
    std::optional<AggregateQuery> aggregateQuery(const QStringList& sumFields) const;
    static Aggregates runAggregate(const Database& db, const AggregateQuery& query);
    // What identifies the statement's rows, whatever their order: footers computed for the
    // same key stay valid after a sort.
    QString statementKey() const;
    // A new forward-only query over the statement reading only these fields (every field
    // when empty), in the order shown, for printing and export; rows in memory are not
    // read again. Throws DbError; fields must be fields of the statement.
    QSqlQuery statementColumns(const QStringList& fields);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent = {}) const override;
    void fetchMore(const QModelIndex& parent = {}) override;
    // Rows of a large statement not read to the end are sorted by the database (the
    // statement runs again with an order); other rows are sorted here, stably.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void run(const QString& orderBy);
    int readChunk(QList<QVariantList>* into, int limit);
    QString quotedField(int column) const;
    const Database& cursorDatabase();
    // The cursor died part-way (a server restart): runs the statement again and steps over
    // the rows already read, so the rows shown and the current row stay where they are.
    bool reopenCursor(qsizetype rowsRead);
    QString orderedStatement(const QString& orderBy, QVariantList* values) const;
    // The statement with the value filters (all but the one on skipColumn) and its values.
    QString filteredStatement(QVariantList* values, int skipColumn = -1) const;

    struct ValueFilter
    {
        QString field;
        QVariant value; // NULL or empty: the rows where the field is NULL or empty text
    };

    const Database* db_ = nullptr;
    // Engines other than SQLite lose a result being read when the same connection runs
    // another statement, so the rows are read on a second connection of the model's own.
    std::unique_ptr<Database> cursorDb_;
    const Database* cursorFor_ = nullptr;
    QString sql_;
    QVariantList values_;
    QList<ValueFilter> filters_;
    QString orderBy_;
    QSqlQuery query_;
    QStringList fields_;
    QList<QVariantList> rows_;
    FieldKinds kinds_;
    int chunk_ = kDefaultChunk;
};
