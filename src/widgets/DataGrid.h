// The data grid of the list screens: a read-only table over a statement (rows read lazily)
// or a list of rows, with titled columns in a given order, hidden columns, whole-row single
// selection (the selected row is the current one), sorting by a click on a heading,
// filtering by value, and a footer with a count or sums under named columns.
//
//   grid->setColumns({{"读者编号", "读者编号"}, {"单位部门", "部门"}, ...});
//   grid->addFooterCount("读者编号");
//   grid->addFooterSum("价格");
//   grid->setQuery(Database::shared(), "select * from 读者库 where 状态 = ?", {"正常"});
//   connect(grid, &DataGrid::currentRowChanged, ...); grid->currentValue("读者编号");
#pragma once

#include "GridModel.h"
#include "report/Report.h"

#include <QList>
#include <QSortFilterProxyModel>
#include <QWidget>
#include <memory>
#include <optional>

class QTableView;
class GridFooter;

struct GridColumn
{
    QString field;
    QString title; // empty: the field's name
};

// How a footer sum is shown.
enum class FooterFormat
{
    Exact,       // as the field shows its values (money exactly, through Money)
    WholeNumber, // rounded to a whole number
};

// Keeps the rows whose shown text equals each filtered field's value; sorting goes to the
// GridModel (which asks the database when not all rows are read).
class GridProxy : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setTitles(const QHash<QString, QString>& titles);
    void setValueFilter(int column, const std::optional<QString>& shownText); // nullopt: none
    void clearValueFilters();
    bool hasValueFilters() const { return !filters_.isEmpty(); }
    bool hasValueFilter(int column) const { return filters_.contains(column); }
    // Headings say that a right click filters.
    void setFilterHint(bool on) { filterHint_ = on; }
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QHash<int, QString> filters_;
    QHash<QString, QString> titles_; // lower-case field -> title
    bool filterHint_ = false;
};

class HeaderFilterPopup;

class DataGrid : public QWidget
{
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    // The shown columns, in this order; every other field of the rows is hidden.
    void setColumns(const QList<GridColumn>& columns);
    void setColumnHidden(const QString& field, bool hidden);
    bool isColumnShown(const QString& field) const;
    // The kind of a field that the schema does not know (computed columns).
    void setFieldKind(const QString& field, FieldKind kind);

    // Runs a statement; throws DbError with the database's text (the grid is then empty).
    void setQuery(const Database& db, const QString& sql, const QVariantList& values = {});
    void refresh(); // the current statement again
    void setRows(const QStringList& fields, const QList<QVariantList>& rows);
    void clear();

    // Shows only the rows whose field shows that text; an empty value lifts the filter.
    void setFilter(const QString& field, const QString& value);
    void clearFilters();
    // A right click on a heading offers the column's values to filter by ("(全部)" lifts it).
    // The values are asked of the database (at most kFilterChoices of them, a search box
    // finds the others), and a statement's rows are filtered by the database.
    void setHeaderFilterEnabled(bool on);
    bool headerFilterEnabled() const { return headerFilter_; }
    static constexpr int kFilterChoices = 200;
    // Shows only the rows whose field holds value, a raw value as the rows hold it (NULL or
    // empty: the rows where it is NULL or empty); nullopt lifts the field's filter. Rows of a
    // statement are filtered by the database, rows handed over as a list here.
    void setValueFilter(const QString& field, const std::optional<QVariant>& value);
    bool isFiltered(const QString& field) const;
    // The popup of a heading's filter (what the right click opens), at pos of the heading.
    void showHeaderFilter(const QString& field, const QPoint& pos = {});

    void addFooterCount(const QString& field);
    void addFooterSum(const QString& field, FooterFormat format = FooterFormat::Exact);
    QString footerText(const QString& field) const;
    // The exact sum behind a footer (over the rows shown, or the whole statement when its
    // rows are not all read and nothing is filtered).
    FieldSum footerSum(const QString& field) const;

    // Rows as shown (after filtering and sorting); only rows read so far.
    int rowCount() const;
    int currentRow() const; // -1 when none
    void setCurrentRow(int row);
    QVariant value(int row, const QString& field) const;
    QVariant currentValue(const QString& field) const;
    // Every row as shown, all read first: what a list report of this grid prints.
    ReportRows reportRows();
    // Every row as shown with only the named fields: rows not read yet are streamed from
    // the database as a report prints them (ReportRows::streamed), so neither the other
    // fields nor the grid's own rows grow with it.
    ReportRows reportRows(const QStringList& fields);
    // A new query over the rows as shown, only the named fields (all when empty), for
    // "转Excel": it runs on every engine however much of the grid has been read. Throws
    // DbError. Rows filtered in the grid cannot be expressed as a statement: nullopt then.
    std::optional<QSqlQuery> exportQuery(const QStringList& fields = {});

    QTableView* view() const { return view_; }
    GridModel* model() const { return model_; }
    GridProxy* proxy() const { return proxy_; }

signals:
    void currentRowChanged(int row);
    void rowActivated(int row); // double click or Enter on a row

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct FooterItem
    {
        QString field;
        bool count;
        FooterFormat format;
        QString text;
    };
    void applyColumns();
    // Computes the footers now, or with inBackground (when painting) on a second connection
    // in another thread, so that a list of millions of rows shows its first rows at once.
    void updateFooter(bool inBackground = false);
    void invalidateFooter();
    void ensureFooter() const;     // the footers as they are now: waits for a pending one
    void ensureFooterSoon() const; // the footers, or their computation started
    void applyFooter(const GridModel::Aggregates& all);
    void startFooterJob(const QString& key, const GridModel::AggregateQuery& query);
    void finishFooterJob();
    void showHeaderFilterMenu(const QPoint& pos);
    friend class HeaderFilterPopup;
    int sourceRow(int row) const;

    GridModel* model_;
    GridProxy* proxy_;
    QTableView* view_;
    GridFooter* footer_;
    QList<GridColumn> columns_;
    QStringList hidden_; // lower-case fields hidden on top of the column list
    QList<FooterItem> footerItems_;
    // What the footer texts were computed for; the same key means nothing to recompute.
    mutable QString footerKey_;
    mutable bool footerStale_ = true;
    struct FooterJob;
    std::unique_ptr<FooterJob> footerJob_; // the aggregate running in the background
    bool headerFilter_ = false;
    int lastCurrent_ = -2;
    friend class GridFooter;
};
