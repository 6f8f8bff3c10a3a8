#include "GridModel.h"

#include "data/Database.h"
#include "data/ListSearch.h"

#include <QSet>
#include <QSqlError>
#include <QSqlRecord>
#include <algorithm>

namespace {
// A name from the statement's own result (never what an operator typed), quoted.
QString quotedName(QString name)
{
    name.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + name + QLatin1Char('"');
}

bool isBlank(const QVariant& v)
{
    return v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
}
} // namespace

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

GridModel::~GridModel()
{
    query_ = QSqlQuery(); // before its connection closes
}

const Database& GridModel::cursorDatabase()
{
    if (db_->engine() == DbEngine::SQLite)
        return *db_;
    if (!cursorDb_ || cursorFor_ != db_ || !cursorDb_->isOpen()) {
        static int serial = 0;
        cursorDb_.reset();
        auto copy = std::make_unique<Database>(QStringLiteral("tushu_grid_%1").arg(++serial));
        QString error;
        if (!copy->openCopyOf(*db_, &error))
            throw DbError(error);
        cursorDb_ = std::move(copy);
        cursorFor_ = db_;
    }
    return *cursorDb_;
}

void GridModel::setQuery(const Database& db, const QString& sql, const QVariantList& values)
{
    db_ = &db;
    sql_ = sql;
    values_ = values;
    filters_.clear();
    orderBy_.clear();
    run({});
}

void GridModel::refresh()
{
    if (db_)
        run(orderBy_);
}

void GridModel::run(const QString& orderBy)
{
    beginResetModel();
    query_ = QSqlQuery();
    rows_.clear();
    try {
        QVariantList values;
        const QString sql = orderedStatement(orderBy, &values);
        query_ = cursorDatabase().query(sql, values);
        const QSqlRecord rec = query_.record();
        fields_.clear();
        for (int i = 0; i < rec.count(); ++i)
            fields_ << rec.fieldName(i);
        orderBy_ = orderBy;
        readChunk(&rows_, chunk_);
    } catch (...) {
        query_ = QSqlQuery();
        rows_.clear();
        endResetModel();
        throw;
    }
    endResetModel();
}

QString GridModel::orderedStatement(const QString& orderBy, QVariantList* values) const
{
    const QString sql = filteredStatement(values);
    return orderBy.isEmpty()
               ? sql
               : QStringLiteral("select * from (%1) tushu_grid order by %2").arg(sql, orderBy);
}

QString GridModel::filteredStatement(QVariantList* values, int skipColumn) const
{
    *values = values_;
    QStringList conditions;
    for (const ValueFilter& f : filters_) {
        if (fieldIndex(f.field) == skipColumn)
            continue;
        const QString name = quotedName(f.field);
        if (isBlank(f.value)) {
            // Compared as text, so that a date or number column takes the same condition.
            conditions << QStringLiteral("(%1 is null or cast(%1 as text) = '')").arg(name);
        } else {
            conditions << name + QStringLiteral(" = ?");
            *values << db_->bindable(f.value);
        }
    }
    if (conditions.isEmpty())
        return sql_;
    return QStringLiteral("select * from (%1) tushu_filter where %2")
        .arg(sql_, conditions.join(QStringLiteral(" and ")));
}

void GridModel::setValueFilter(const QString& field, const std::optional<QVariant>& value)
{
    const int column = fieldIndex(field);
    if (column < 0 || !db_)
        return;
    const QString name = fields_.at(column);
    filters_.removeIf([&](const ValueFilter& f) { return f.field == name; });
    if (value)
        filters_.append({name, *value});
    run(orderBy_);
}

void GridModel::clearValueFilters()
{
    if (filters_.isEmpty())
        return;
    filters_.clear();
    if (db_)
        run(orderBy_);
}

bool GridModel::hasValueFilter(const QString& field) const
{
    return std::any_of(filters_.begin(), filters_.end(), [&](const ValueFilter& f) {
        return f.field.compare(field, Qt::CaseInsensitive) == 0;
    });
}

QVariantList GridModel::distinctValues(const QString& field, const QString& contains, int limit,
                                       bool* more) const
{
    const int column = fieldIndex(field);
    QVariantList out;
    if (more)
        *more = false;
    if (column < 0 || limit <= 0)
        return out;
    const FieldKind kind = fieldKind(column);
    const auto shown = [&](const QVariant& v) {
        return FieldFormat::text(v, FieldFormat::resolve(kind, fields_.at(column), v));
    };
    if (!db_) {
        QSet<QString> seen;
        QList<std::pair<QVariant, QVariant>> keyed; // sort key, value
        for (const QVariantList& row : rows_) {
            const QVariant& v = row.at(column);
            const QString text = shown(v);
            if (seen.contains(text) ||
                (!contains.isEmpty() && !text.contains(contains, Qt::CaseInsensitive)))
                continue;
            seen.insert(text);
            keyed.append(
                {FieldFormat::sortKey(v, FieldFormat::resolve(kind, fields_.at(column), v)), v});
        }
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
            if (a.first.isNull() != b.first.isNull())
                return a.first.isNull();
            return QVariant::compare(a.first, b.first) == QPartialOrdering::Less;
        });
        for (const auto& [key, v] : keyed) {
            if (out.size() == limit) {
                if (more)
                    *more = true;
                break;
            }
            out << v;
        }
        return out;
    }
    QVariantList values;
    const QString name = quotedName(fields_.at(column));
    QString sql = QStringLiteral("select distinct %1 from (%2) tushu_grid")
                      .arg(name, filteredStatement(&values, column));
    if (!contains.isEmpty()) {
        // The text as shown for text columns, the stored text for numbers and dates; ASCII
        // letters in either case (SQLite's like ignores their case already).
        const QString text = QStringLiteral("cast(%1 as text)").arg(name);
        sql += db_->engine() == DbEngine::SQLite
                   ? QStringLiteral(" where %1 like ? escape '\\'").arg(text)
                   : QStringLiteral(" where lower(%1) like lower(?) escape '\\'").arg(text);
        values << ListSearch::containsPattern(contains);
    }
    sql += QStringLiteral(" order by 1 limit %1").arg(limit + 1);
    QSqlQuery q = db_->query(sql, values);
    bool blankSeen = false; // NULL and empty text are one choice
    while (q.next()) {
        const QVariant v = q.value(0);
        if (isBlank(v)) {
            if (blankSeen)
                continue;
            blankSeen = true;
        }
        if (out.size() == limit) {
            if (more)
                *more = true;
            break;
        }
        out << v;
    }
    return out;
}

bool GridModel::reopenCursor(qsizetype rowsRead)
{
    if (!db_)
        return false;
    try {
        QVariantList values;
        const QString sql = orderedStatement(orderBy_, &values);
        query_ = cursorDatabase().query(sql, values);
        for (qsizetype i = 0; i < rowsRead; ++i)
            if (!query_.next()) {
                query_ = QSqlQuery();
                break;
            }
        return query_.isActive();
    } catch (const DbError& e) {
        // The server is still away: the rows read so far stay, the rest are not shown.
        qWarning("%s", qPrintable(e.message()));
        query_ = QSqlQuery();
        return false;
    }
}

void GridModel::setRows(const QStringList& fields, const QList<QVariantList>& rows)
{
    beginResetModel();
    db_ = nullptr;
    sql_.clear();
    values_.clear();
    filters_.clear();
    orderBy_.clear();
    query_ = QSqlQuery();
    cursorDb_.reset();
    cursorFor_ = nullptr;
    fields_ = fields;
    rows_ = rows;
    endResetModel();
}

void GridModel::clear()
{
    setRows({}, {});
}

void GridModel::setFieldKind(const QString& field, FieldKind kind)
{
    kinds_.set(field, kind);
    if (!rows_.isEmpty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

FieldKind GridModel::fieldKind(int column) const
{
    const QString& field = fields_.at(column);
    const FieldKind k = kinds_.of(field);
    if (k != FieldKind::Auto)
        return k;
    const FieldKind s = FieldFormat::schemaKind(field);
    return s != FieldKind::Auto ? s : FieldKind::Auto;
}

int GridModel::fieldIndex(const QString& field) const
{
    for (int i = 0; i < fields_.size(); ++i)
        if (fields_.at(i).compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant GridModel::value(int row, int column) const
{
    if (row < 0 || row >= rows_.size() || column < 0 || column >= rows_.at(row).size())
        return {};
    return rows_.at(row).at(column);
}

QVariant GridModel::value(int row, const QString& field) const
{
    return value(row, fieldIndex(field));
}

int GridModel::readChunk(QList<QVariantList>* into, int limit)
{
    int n = 0;
    const int columns = int(fields_.size());
    bool reopened = false;
    while (n < limit && query_.isActive()) {
        if (!query_.next()) {
            const bool failed = query_.lastError().isValid();
            query_.finish();
            query_ = QSqlQuery();
            if (failed && !reopened && reopenCursor(rows_.size() + into->size())) {
                reopened = true;
                continue;
            }
            break;
        }
        QVariantList row;
        row.reserve(columns);
        for (int i = 0; i < columns; ++i)
            row << query_.value(i);
        into->append(row);
        ++n;
    }
    return n;
}

void GridModel::fetchAll()
{
    while (canFetchMore())
        fetchMore();
}

bool GridModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && query_.isActive();
}

void GridModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid() || !query_.isActive())
        return;
    QList<QVariantList> more;
    readChunk(&more, chunk_);
    if (more.isEmpty())
        return;
    beginInsertRows({}, int(rows_.size()), int(rows_.size() + more.size() - 1));
    rows_.append(more);
    endInsertRows();
}

qint64 GridModel::statementCount() const
{
    if (!db_ || !query_.isActive())
        return rows_.size();
    QVariantList values;
    const QString sql = filteredStatement(&values);
    return db_->scalar(QStringLiteral("select count(*) from (%1) tushu_grid").arg(sql), values)
        .toLongLong();
}

FieldSum GridModel::statementSum(const QString& field, FieldKind kind) const
{
    const int column = fieldIndex(field);
    if (kind == FieldKind::Auto && column >= 0)
        kind = fieldKind(column);
    if (column < 0)
        return FieldSum(kind);
    if (!db_ || !query_.isActive()) {
        FieldSum sum(kind);
        for (int r = 0; r < rows_.size(); ++r)
            sum.add(rows_.at(r).at(column), field);
        return sum;
    }
    return statementAggregates({field}).sums.value(0, FieldSum(kind));
}

GridModel::Aggregates GridModel::statementAggregates(const QStringList& sumFields) const
{
    if (const std::optional<AggregateQuery> q = aggregateQuery(sumFields))
        return runAggregate(*db_, *q);
    Aggregates out;
    out.count = rows_.size();
    for (const QString& f : sumFields) {
        const int c = fieldIndex(f);
        FieldSum sum(c >= 0 ? fieldKind(c) : FieldKind::Auto);
        if (c >= 0)
            for (int r = 0; r < rows_.size(); ++r)
                sum.add(rows_.at(r).at(c), f);
        out.sums << sum;
    }
    return out;
}

std::optional<GridModel::AggregateQuery>
GridModel::aggregateQuery(const QStringList& sumFields) const
{
    if (!db_ || !query_.isActive())
        return std::nullopt;
    AggregateQuery q;
    const QString statement = filteredStatement(&q.values);
    q.fields = sumFields;
    QStringList parts{QStringLiteral("count(*)")};
    for (const QString& f : sumFields) {
        const int c = fieldIndex(f);
        const FieldKind kind = c >= 0 ? fieldKind(c) : FieldKind::Auto;
        const bool units = kind == FieldKind::Money && db_->engine() == DbEngine::SQLite;
        q.kinds << kind;
        q.inUnits << units;
        if (c < 0)
            parts << QStringLiteral("null");
        else if (units)
            parts << QStringLiteral("sum(cast(round(%1 * 10000) as integer))").arg(quotedField(c));
        else
            parts << QStringLiteral("sum(%1)").arg(quotedField(c));
    }
    q.sql = QStringLiteral("select %1 from (%2) tushu_grid")
                .arg(parts.join(QStringLiteral(", ")), statement);
    return q;
}

GridModel::Aggregates GridModel::runAggregate(const Database& db, const AggregateQuery& query)
{
    Aggregates out;
    for (const FieldKind kind : query.kinds)
        out.sums << FieldSum(kind);
    QSqlQuery q = db.query(query.sql, query.values);
    if (!q.next())
        return out;
    out.count = q.value(0).toLongLong();
    for (int i = 0; i < query.fields.size(); ++i) {
        const QVariant v = q.value(i + 1);
        if (query.inUnits.at(i) && !v.isNull())
            out.sums[i].add(QVariant::fromValue(Money::fromUnits(v.toLongLong())));
        else
            out.sums[i].add(v, query.fields.at(i));
    }
    return out;
}

QString GridModel::statementKey() const
{
    if (!db_)
        return {};
    QVariantList values;
    QString key = db_->connectionName() + QLatin1Char('\n') + filteredStatement(&values);
    for (const QVariant& v : values)
        key += QLatin1Char('\n') + v.toString();
    return key;
}

QSqlQuery GridModel::statementColumns(const QStringList& fields)
{
    if (!db_)
        throw DbError(QStringLiteral("没有可以读取的数据。"));
    QStringList names;
    for (const QString& f : fields) {
        const int c = fieldIndex(f);
        if (c < 0)
            throw DbError(QStringLiteral("没有\"%1\"这一列。").arg(f));
        names << quotedField(c);
    }
    QVariantList values;
    const QString statement = filteredStatement(&values);
    QString sql = QStringLiteral("select %1 from (%2) tushu_grid")
                      .arg(names.isEmpty() ? QStringLiteral("*") : names.join(QStringLiteral(", ")),
                           statement);
    if (!orderBy_.isEmpty())
        sql += QStringLiteral(" order by ") + orderBy_;
    return cursorDatabase().query(sql, values);
}

QString GridModel::quotedField(int column) const
{
    return quotedName(fields_.at(column));
}

int GridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int GridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(fields_.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const QVariant v = value(index.row(), index.column());
    const QString& field = fields_.at(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return FieldFormat::text(v, FieldFormat::resolve(fieldKind(index.column()), field, v));
    case Qt::UserRole:
        return v;
    case SortRole:
        return FieldFormat::sortKey(v, FieldFormat::resolve(fieldKind(index.column()), field, v));
    case Qt::TextAlignmentRole: {
        const FieldKind k = FieldFormat::resolve(fieldKind(index.column()), field, v);
        if (k == FieldKind::Money || k == FieldKind::Integer || k == FieldKind::Real)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < fields_.size())
        return fields_.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void GridModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= fields_.size())
        return;
    if (db_ && query_.isActive()) {
        // A statement whose rows are few is read and sorted here: the database, asked for
        // an order over "the first n rows" of a statement without one, may pick other rows
        // (SQLite does), while the rows shown must stay the rows shown.
        if (statementCount() > kSortInMemoryRows) {
            run(quotedField(column) +
                (order == Qt::AscendingOrder ? QStringLiteral(" asc") : QStringLiteral(" desc")));
            return;
        }
        fetchAll();
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QList<int> order_(rows_.size());
    for (int i = 0; i < order_.size(); ++i)
        order_[i] = i;
    const FieldKind kind = fieldKind(column);
    const QString field = fields_.at(column);
    QList<QVariant> keys(rows_.size());
    for (int i = 0; i < rows_.size(); ++i) {
        const QVariant& v = rows_.at(i).at(column);
        keys[i] = FieldFormat::sortKey(v, FieldFormat::resolve(kind, field, v));
    }
    std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
        const QVariant& ka = keys.at(a);
        const QVariant& kb = keys.at(b);
        // NULLs first when ascending, as the databases do for an ascending order here.
        if (ka.isNull() != kb.isNull())
            return (order == Qt::AscendingOrder) == ka.isNull();
        const auto c = QVariant::compare(ka, kb);
        return order == Qt::AscendingOrder ? c == QPartialOrdering::Less
                                           : c == QPartialOrdering::Greater;
    });
    QList<QVariantList> sorted;
    sorted.reserve(rows_.size());
    QList<int> newPosition(rows_.size());
    for (int i = 0; i < order_.size(); ++i) {
        sorted << rows_.at(order_.at(i));
        newPosition[order_.at(i)] = i;
    }
    rows_ = sorted;
    QModelIndexList after;
    for (const QModelIndex& i : before)
        after << index(newPosition.at(i.row()), i.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
