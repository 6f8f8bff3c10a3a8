#include "DataGrid.h"

#include "Messenger.h"
#include "data/Database.h"

#include <QFutureWatcher>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QSet>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>

// ---- GridProxy ----------------------------------------------------------------------------

void GridProxy::setTitles(const QHash<QString, QString>& titles)
{
    titles_ = titles;
    if (sourceModel() && sourceModel()->columnCount() > 0)
        emit headerDataChanged(Qt::Horizontal, 0, sourceModel()->columnCount() - 1);
}

void GridProxy::setValueFilter(int column, const std::optional<QString>& shownText)
{
    if (shownText)
        filters_.insert(column, *shownText);
    else
        filters_.remove(column);
    invalidateRowsFilter();
}

void GridProxy::clearValueFilters()
{
    filters_.clear();
    invalidateRowsFilter();
}

QVariant GridProxy::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && sourceModel()) {
        const QString field = sourceModel()->headerData(section, orientation, role).toString();
        return titles_.value(field.toLower(), field);
    }
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole && filterHint_)
        return QStringLiteral("单击标题排序,右键单击标题按值筛选");
    return QSortFilterProxyModel::headerData(section, orientation, role);
}

void GridProxy::sort(int column, Qt::SortOrder order)
{
    if (auto* grid = qobject_cast<GridModel*>(sourceModel()))
        grid->sort(column, order);
    else
        QSortFilterProxyModel::sort(column, order);
}

bool GridProxy::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    for (auto it = filters_.begin(); it != filters_.end(); ++it) {
        const QModelIndex i = sourceModel()->index(sourceRow, it.key(), sourceParent);
        if (sourceModel()->data(i, Qt::DisplayRole).toString() != it.value())
            return false;
    }
    return true;
}

namespace {
struct FooterResult
{
    GridModel::Aggregates aggregates;
    QString error;
};

// A second connection sees the same rows: not so for an SQLite database in memory, which
// exists only on its own connection.
bool canAggregateApart(const Database& db)
{
    if (db.engine() != DbEngine::SQLite)
        return true;
    if (db.holdsFileAlone()) // no second connection can read it
        return false;
    const QString name = db.handle().databaseName();
    return !name.isEmpty() && name != QLatin1String(":memory:") &&
           !name.startsWith(QLatin1String("file::memory:"));
}
} // namespace

struct DataGrid::FooterJob
{
    QString key;
    QFutureWatcher<FooterResult> watcher;
};

// ---- GridFooter ---------------------------------------------------------------------------

// One line under the table with each footer text under its column.
class GridFooter : public QWidget
{
public:
    explicit GridFooter(DataGrid* grid) : QWidget(grid), grid_(grid)
    {
        setObjectName(QStringLiteral("gridFooter"));
        setFixedHeight(fontMetrics().height() + 8);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(0, 0, width(), 0);
        p.setPen(palette().color(QPalette::WindowText));
        QTableView* view = grid_->view_;
        QHeaderView* header = view->horizontalHeader();
        const int x0 = view->viewport()->mapTo(grid_, QPoint(0, 0)).x() - x();
        grid_->ensureFooterSoon();
        for (const DataGrid::FooterItem& item : grid_->footerItems_) {
            const int column = grid_->model_->fieldIndex(item.field);
            if (column < 0 || header->isSectionHidden(column))
                continue;
            const QRect r(x0 + header->sectionViewportPosition(column) + 3, 0,
                          header->sectionSize(column) - 6, height());
            p.drawText(r, Qt::AlignRight | Qt::AlignVCenter, item.text);
        }
    }

private:
    DataGrid* grid_;
};

// ---- DataGrid -----------------------------------------------------------------------------

// A footer still being computed is left to finish on its own connection.
DataGrid::~DataGrid() = default;

DataGrid::DataGrid(QWidget* parent)
    : QWidget(parent), model_(new GridModel(this)), proxy_(new GridProxy(this)),
      view_(new QTableView(this)), footer_(new GridFooter(this))
{
    proxy_->setSourceModel(model_);
    proxy_->setSortRole(GridModel::SortRole);
    view_->setObjectName(QStringLiteral("gridView"));
    view_->setModel(proxy_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setSortingEnabled(true);
    view_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    view_->horizontalHeader()->setSectionsMovable(false);
    view_->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    view_->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(view_);
    layout->addWidget(footer_);
    footer_->hide();

    QHeaderView* header = view_->horizontalHeader();
    auto repaintFooter = [this] { footer_->update(); };
    connect(header, &QHeaderView::sectionResized, footer_, repaintFooter);
    connect(header, &QHeaderView::sectionMoved, footer_, repaintFooter);
    connect(view_->horizontalScrollBar(), &QScrollBar::valueChanged, footer_, repaintFooter);
    connect(header, &QHeaderView::customContextMenuRequested, this,
            &DataGrid::showHeaderFilterMenu);

    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        applyColumns();
        invalidateFooter();
    });
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] {
        // Rows read later change only what is computed from the rows in memory.
        if (proxy_->hasValueFilters())
            invalidateFooter();
    });
    connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                const int row = current.isValid() ? current.row() : -1;
                if (row != lastCurrent_) {
                    lastCurrent_ = row;
                    emit currentRowChanged(row);
                }
            });
    connect(view_, &QTableView::doubleClicked, this, [this](const QModelIndex& i) {
        if (i.isValid())
            emit rowActivated(i.row());
    });
    // After a reset or a sort the first row becomes the current one, as a result set's
    // cursor stands on its first row after opening.
    auto selectFirst = [this] {
        if (proxy_->rowCount() > 0 && !view_->currentIndex().isValid())
            setCurrentRow(0);
        else if (proxy_->rowCount() == 0 && lastCurrent_ != -1) {
            lastCurrent_ = -1;
            emit currentRowChanged(-1);
        }
    };
    connect(proxy_, &QAbstractItemModel::modelReset, this, selectFirst);
    connect(proxy_, &QAbstractItemModel::layoutChanged, this, selectFirst);
    connect(proxy_, &QAbstractItemModel::rowsRemoved, this, selectFirst);
    connect(proxy_, &QAbstractItemModel::rowsInserted, this, selectFirst);
}

void DataGrid::setColumns(const QList<GridColumn>& columns)
{
    columns_ = columns;
    QHash<QString, QString> titles;
    for (const GridColumn& c : columns)
        if (!c.title.isEmpty())
            titles.insert(c.field.toLower(), c.title);
    proxy_->setTitles(titles);
    applyColumns();
}

void DataGrid::setColumnHidden(const QString& field, bool hidden)
{
    hidden_.removeAll(field.toLower());
    if (hidden)
        hidden_ << field.toLower();
    applyColumns();
}

bool DataGrid::isColumnShown(const QString& field) const
{
    const int c = model_->fieldIndex(field);
    return c >= 0 && !view_->horizontalHeader()->isSectionHidden(c);
}

void DataGrid::setFieldKind(const QString& field, FieldKind kind)
{
    model_->setFieldKind(field, kind);
    invalidateFooter();
}

void DataGrid::applyColumns()
{
    QHeaderView* header = view_->horizontalHeader();
    const int n = model_->columnCount();
    QSet<int> listed;
    int visual = 0;
    for (const GridColumn& c : columns_) {
        const int logical = model_->fieldIndex(c.field);
        if (logical < 0 || listed.contains(logical))
            continue;
        listed.insert(logical);
        header->moveSection(header->visualIndex(logical), visual++);
    }
    for (int logical = 0; logical < n; ++logical) {
        const bool shown = (columns_.isEmpty() || listed.contains(logical)) &&
                           !hidden_.contains(model_->fields().at(logical).toLower());
        header->setSectionHidden(logical, !shown);
    }
    footer_->update();
}

void DataGrid::setQuery(const Database& db, const QString& sql, const QVariantList& values)
{
    lastCurrent_ = -2;
    footerKey_.clear(); // the same statement run again may find other rows
    view_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    model_->setQuery(db, sql, values);
}

void DataGrid::refresh()
{
    lastCurrent_ = -2;
    footerKey_.clear();
    model_->refresh();
}

void DataGrid::setRows(const QStringList& fields, const QList<QVariantList>& rows)
{
    lastCurrent_ = -2;
    view_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    model_->setRows(fields, rows);
}

void DataGrid::clear()
{
    model_->clear();
}

void DataGrid::setFilter(const QString& field, const QString& value)
{
    const int column = model_->fieldIndex(field);
    if (column < 0)
        return;
    // A filter looks at every row, so every row is read first.
    if (!value.isEmpty())
        model_->fetchAll();
    proxy_->setValueFilter(column, value.isEmpty() ? std::nullopt : std::optional(value));
    invalidateFooter();
}

void DataGrid::clearFilters()
{
    proxy_->clearValueFilters();
    if (model_->hasValueFilters()) {
        lastCurrent_ = -2;
        model_->clearValueFilters();
    }
    invalidateFooter();
}

void DataGrid::setHeaderFilterEnabled(bool on)
{
    headerFilter_ = on;
    proxy_->setFilterHint(on);
}

void DataGrid::setValueFilter(const QString& field, const std::optional<QVariant>& value)
{
    const int column = model_->fieldIndex(field);
    if (column < 0)
        return;
    if (!model_->hasStatement()) {
        std::optional<QString> text;
        if (value) {
            const FieldKind kind = FieldFormat::resolve(model_->fieldKind(column),
                                                        model_->fields().at(column), *value);
            text = FieldFormat::text(*value, kind);
        }
        proxy_->setValueFilter(column, text);
        invalidateFooter();
        return;
    }
    lastCurrent_ = -2;
    model_->setValueFilter(field, value);
    // Rows sorted here (a short statement) come back in the statement's order: sort again.
    const QHeaderView* header = view_->horizontalHeader();
    if (header->sortIndicatorSection() >= 0 && !model_->orderedByDatabase())
        model_->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
}

bool DataGrid::isFiltered(const QString& field) const
{
    const int column = model_->fieldIndex(field);
    return column >= 0 && (model_->hasValueFilter(field) || proxy_->hasValueFilter(column));
}

// ---- HeaderFilterPopup --------------------------------------------------------------------

// The values of one column to filter by: "(全部)", then at most DataGrid::kFilterChoices
// values in order, with a search box that asks again for the values holding its text.
class HeaderFilterPopup : public QFrame
{
public:
    HeaderFilterPopup(DataGrid* grid, const QString& field)
        : QFrame(grid, Qt::Popup), grid_(grid), field_(field)
    {
        setObjectName(QStringLiteral("headerFilterPopup"));
        setAttribute(Qt::WA_DeleteOnClose);
        setFrameShape(QFrame::StyledPanel);
        search_ = new QLineEdit(this);
        search_->setObjectName(QStringLiteral("headerFilterSearch"));
        search_->setPlaceholderText(QStringLiteral("查找"));
        search_->setAccessibleName(QStringLiteral("查找"));
        search_->setClearButtonEnabled(true);
        list_ = new QListWidget(this);
        list_->setObjectName(QStringLiteral("headerFilterList"));
        list_->setAccessibleName(QStringLiteral("筛选"));
        note_ = new QLabel(this);
        note_->setObjectName(QStringLiteral("headerFilterNote"));
        note_->setWordWrap(true);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(4, 4, 4, 4);
        layout->addWidget(search_);
        layout->addWidget(list_);
        layout->addWidget(note_);
        resize(240, 320);
        // Asked again once typing pauses, not at every key on a large list.
        searchTimer_.setSingleShot(true);
        searchTimer_.setInterval(250);
        connect(&searchTimer_, &QTimer::timeout, this, &HeaderFilterPopup::load);
        connect(search_, &QLineEdit::textChanged, &searchTimer_, qOverload<>(&QTimer::start));
        connect(search_, &QLineEdit::returnPressed, this, [this] {
            searchTimer_.stop();
            load();
        });
        connect(list_, &QListWidget::itemActivated, this, &HeaderFilterPopup::choose);
        connect(list_, &QListWidget::itemClicked, this, &HeaderFilterPopup::choose);
        load();
        search_->setFocus();
    }

    void load()
    {
        list_->clear();
        auto* all = new QListWidgetItem(QStringLiteral("(全部)"), list_);
        all->setData(kAllRole, true);
        bool more = false;
        QVariantList values;
        try {
            values = grid_->model_->distinctValues(field_, search_->text(),
                                                   DataGrid::kFilterChoices, &more);
        } catch (const DbError& e) {
            note_->setText(e.message());
            return;
        }
        const int column = grid_->model_->fieldIndex(field_);
        const FieldKind kind = grid_->model_->fieldKind(column);
        for (const QVariant& v : values) {
            QString text = FieldFormat::text(v, FieldFormat::resolve(kind, field_, v));
            auto* item =
                new QListWidgetItem(text.isEmpty() ? QStringLiteral("(空白)") : text, list_);
            item->setData(Qt::UserRole, v);
        }
        note_->setText(more ? QStringLiteral("只列出前%1项,请输入文字查找其余的值.")
                                  .arg(DataGrid::kFilterChoices)
                            : QString());
        note_->setVisible(more);
    }

private:
    static constexpr int kAllRole = Qt::UserRole + 1;

    void choose(QListWidgetItem* item)
    {
        // Closed first: the grid's new rows may take a moment and the popup is done.
        const bool all = item->data(kAllRole).toBool();
        const QVariant value = item->data(Qt::UserRole);
        DataGrid* grid = grid_;
        const QString field = field_;
        close();
        try {
            grid->setValueFilter(field, all ? std::nullopt : std::optional(value));
        } catch (const DbError& e) {
            Messenger::instance().error(grid, e.message());
        }
    }

    DataGrid* grid_;
    QString field_;
    QLineEdit* search_;
    QListWidget* list_;
    QLabel* note_;
    QTimer searchTimer_;
};

void DataGrid::showHeaderFilterMenu(const QPoint& pos)
{
    if (!headerFilter_)
        return;
    const int column = view_->horizontalHeader()->logicalIndexAt(pos);
    if (column < 0)
        return;
    showHeaderFilter(model_->fields().at(column), pos);
}

void DataGrid::showHeaderFilter(const QString& field, const QPoint& pos)
{
    if (model_->fieldIndex(field) < 0)
        return;
    auto* popup = new HeaderFilterPopup(this, field);
    popup->move(view_->horizontalHeader()->mapToGlobal(pos));
    popup->show();
}

void DataGrid::addFooterCount(const QString& field)
{
    footerItems_.append({field, true, FooterFormat::Exact, {}});
    footer_->show();
    invalidateFooter();
}

void DataGrid::addFooterSum(const QString& field, FooterFormat format)
{
    footerItems_.append({field, false, format, {}});
    footer_->show();
    invalidateFooter();
}

void DataGrid::invalidateFooter()
{
    // Computed when next shown or asked for, once for all the footers.
    footerStale_ = true;
    footer_->update();
}

void DataGrid::ensureFooter() const
{
    auto* self = const_cast<DataGrid*>(this);
    if (footerJob_) {
        footerJob_->watcher.waitForFinished();
        self->finishFooterJob();
    }
    if (footerStale_)
        self->updateFooter();
}

void DataGrid::ensureFooterSoon() const
{
    if (footerStale_ && !footerJob_)
        const_cast<DataGrid*>(this)->updateFooter(true);
}

QString DataGrid::footerText(const QString& field) const
{
    ensureFooter();
    for (const FooterItem& item : footerItems_)
        if (item.field.compare(field, Qt::CaseInsensitive) == 0)
            return item.text;
    return {};
}

FieldSum DataGrid::footerSum(const QString& field) const
{
    const int column = model_->fieldIndex(field);
    if (column < 0)
        return FieldSum();
    if (!proxy_->hasValueFilters())
        return model_->statementSum(field);
    FieldSum sum(model_->fieldKind(column));
    for (int r = 0; r < proxy_->rowCount(); ++r)
        sum.add(model_->value(sourceRow(r), column), field);
    return sum;
}

void DataGrid::updateFooter(bool inBackground)
{
    footerStale_ = false;
    footerJob_.reset(); // a result for an earlier statement is no longer wanted
    if (footerItems_.isEmpty())
        return;
    // A sort runs the same statement in another order: its count and sums still hold.
    QString key = model_->statementKey();
    for (const FooterItem& item : footerItems_)
        key += QLatin1Char('\n') + item.field + (item.count ? QLatin1Char('#') : QLatin1Char('+'));
    const bool filtered = proxy_->hasValueFilters();
    if (!filtered && model_->hasStatement() && !model_->allFetched() && key == footerKey_)
        return;
    footerKey_.clear();
    try {
        QStringList sumFields;
        for (const FooterItem& item : footerItems_)
            if (!item.count)
                sumFields << item.field;
        GridModel::Aggregates all;
        if (filtered) {
            all.count = proxy_->rowCount();
            for (const QString& f : sumFields)
                all.sums << footerSum(f);
        } else if (const auto query = model_->aggregateQuery(sumFields);
                   query && inBackground && canAggregateApart(*model_->database())) {
            startFooterJob(key, *query);
            return;
        } else {
            all = model_->statementAggregates(sumFields);
        }
        applyFooter(all);
        if (!filtered)
            footerKey_ = key;
    } catch (const DbError& e) {
        for (FooterItem& item : footerItems_)
            item.text.clear();
        qWarning("footer: %s", qPrintable(e.message()));
    }
    footer_->update();
}

void DataGrid::applyFooter(const GridModel::Aggregates& all)
{
    int next = 0;
    for (FooterItem& item : footerItems_) {
        if (item.count) {
            item.text = QString::number(all.count);
            continue;
        }
        const FieldSum sum = all.sums.value(next++);
        if (item.format == FooterFormat::WholeNumber && !sum.isEmpty()) {
            const Money m = sum.kind() == FieldKind::Money
                                ? sum.money()
                                : Money::fromVariant(sum.value()).value_or(Money());
            // Half away from zero, in whole yuan.
            const qint64 u = m.units();
            const qint64 half = Money::kScale / 2;
            item.text =
                QString::number(u >= 0 ? (u + half) / Money::kScale : (u - half) / Money::kScale);
        } else {
            item.text = sum.text();
        }
    }
}

void DataGrid::startFooterJob(const QString& key, const GridModel::AggregateQuery& query)
{
    const Database& db = *model_->database();
    footerJob_ = std::make_unique<FooterJob>();
    footerJob_->key = key;
    for (FooterItem& item : footerItems_)
        item.text = QStringLiteral("…");
    connect(&footerJob_->watcher, &QFutureWatcher<FooterResult>::finished, this,
            [this] { finishFooterJob(); });
    footerJob_->watcher.setFuture(QtConcurrent::run(
        [connection = db.connectionName(), engine = db.engine(), query]() -> FooterResult {
            static std::atomic<int> serial{0};
            Database copy(QStringLiteral("tushu_footer_%1").arg(++serial));
            FooterResult r;
            QString error;
            if (!copy.openCopyOf(connection, engine, &error)) {
                r.error = error;
                return r;
            }
            try {
                r.aggregates = GridModel::runAggregate(copy, query);
            } catch (const DbError& e) {
                r.error = e.message();
            }
            return r;
        }));
}

void DataGrid::finishFooterJob()
{
    if (!footerJob_ || !footerJob_->watcher.isFinished())
        return;
    const FooterResult r = footerJob_->watcher.result();
    const QString key = footerJob_->key;
    footerJob_.reset();
    if (!r.error.isEmpty()) {
        for (FooterItem& item : footerItems_)
            item.text.clear();
        qWarning("footer: %s", qPrintable(r.error));
    } else {
        applyFooter(r.aggregates);
        footerKey_ = key;
    }
    footer_->update();
}

int DataGrid::rowCount() const
{
    return proxy_->rowCount();
}

int DataGrid::currentRow() const
{
    const QModelIndex i = view_->currentIndex();
    return i.isValid() ? i.row() : -1;
}

void DataGrid::setCurrentRow(int row)
{
    if (row < 0 || row >= proxy_->rowCount()) {
        view_->setCurrentIndex({});
        return;
    }
    int column = 0;
    while (column < proxy_->columnCount() && view_->isColumnHidden(column))
        ++column;
    view_->setCurrentIndex(proxy_->index(row, qMin(column, proxy_->columnCount() - 1)));
    view_->selectRow(row);
}

int DataGrid::sourceRow(int row) const
{
    return proxy_->mapToSource(proxy_->index(row, 0)).row();
}

QVariant DataGrid::value(int row, const QString& field) const
{
    if (row < 0 || row >= proxy_->rowCount())
        return {};
    return model_->value(sourceRow(row), field);
}

QVariant DataGrid::currentValue(const QString& field) const
{
    return value(currentRow(), field);
}

ReportRows DataGrid::reportRows()
{
    model_->fetchAll();
    ReportRows rows(model_->fields(), {});
    for (int r = 0; r < proxy_->rowCount(); ++r) {
        QVariantList row;
        const int s = sourceRow(r);
        for (int c = 0; c < model_->columnCount(); ++c)
            row << model_->value(s, c);
        rows.append(row);
    }
    return rows;
}

ReportRows DataGrid::reportRows(const QStringList& fields)
{
    if (!proxy_->hasValueFilters() && model_->hasStatement() && !model_->allFetched()) {
        // Counted first, then read as the pages print; the grid's rows stay as they are.
        const qint64 count = model_->statementCount();
        return ReportRows::streamed(fields, int(qMin<qint64>(count, INT_MAX)),
                                    [model = QPointer<GridModel>(model_), fields] {
                                        if (!model)
                                            throw DbError(QStringLiteral("没有可以读取的数据。"));
                                        return model->statementColumns(fields);
                                    });
    }
    QList<int> columns;
    for (const QString& f : fields)
        columns << model_->fieldIndex(f);
    ReportRows rows(fields, {});
    for (int r = 0; r < proxy_->rowCount(); ++r) {
        QVariantList row;
        const int s = sourceRow(r);
        for (int c : columns)
            row << model_->value(s, c);
        rows.append(row);
    }
    return rows;
}

std::optional<QSqlQuery> DataGrid::exportQuery(const QStringList& fields)
{
    if (proxy_->hasValueFilters() || !model_->hasStatement())
        return std::nullopt;
    return model_->statementColumns(fields);
}

bool DataGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && currentRow() >= 0) {
            emit rowActivated(currentRow());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
