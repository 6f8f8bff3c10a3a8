#include "ListScreen.h"

#include "DataGrid.h"
#include "ExportToExcel.h"
#include "GridModel.h"
#include "Messenger.h"
#include "data/Database.h"
#include "report/ReportPreview.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

ListScreen::ListScreen(const ListDescription& description, QWidget* parent)
    : QWidget(parent), description_(description)
{
    setObjectName(description_.objectName);
    setWindowTitle(description_.caption);

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);

    conditionGroup_ = new QGroupBox(QStringLiteral("查询条件"), this);
    conditionGroup_->setObjectName(QStringLiteral("conditionGroup"));
    conditionGroup_->setAccessibleName(conditionGroup_->title());
    columnBox_ = new QComboBox(conditionGroup_);
    columnBox_->setObjectName(QStringLiteral("columnBox"));
    columnBox_->setAccessibleName(QStringLiteral("查询列"));
    columnBox_->setEditable(true);
    columnBox_->setInsertPolicy(QComboBox::NoInsert);
    columnBox_->addItems(description_.searchColumns);
    if (!description_.searchColumns.isEmpty())
        columnBox_->setCurrentText(description_.searchColumns.first());
    auto* containsLabel = new QLabel(QStringLiteral("中 含有"), conditionGroup_);
    valueEdit_ = new QLineEdit(conditionGroup_);
    valueEdit_->setObjectName(QStringLiteral("valueEdit"));
    valueEdit_->setAccessibleName(QStringLiteral("中 含有"));
    containsLabel->setBuddy(valueEdit_);
    exactButton_ = new QRadioButton(QStringLiteral("精确"), conditionGroup_);
    exactButton_->setObjectName(QStringLiteral("exactButton"));
    exactButton_->setAccessibleName(exactButton_->text());
    containsButton_ = new QRadioButton(QStringLiteral("模糊"), conditionGroup_);
    containsButton_->setObjectName(QStringLiteral("containsButton"));
    containsButton_->setAccessibleName(containsButton_->text());
    containsButton_->setChecked(true);
    totals_ = new QLabel(conditionGroup_);
    totals_->setObjectName(QStringLiteral("totalsLabel"));
    totals_->setAccessibleName(QStringLiteral("总计"));
    auto* row = new QHBoxLayout(conditionGroup_);
    row->addWidget(columnBox_);
    row->addWidget(containsLabel);
    row->addWidget(valueEdit_, 1);
    row->addWidget(exactButton_);
    row->addWidget(containsButton_);
    row->addSpacing(20);
    row->addWidget(totals_, 1);

    grid_ = new DataGrid(this);
    grid_->setObjectName(QStringLiteral("grid"));
    grid_->setAccessibleName(description_.caption);
    QList<GridColumn> columns;
    for (const ShownColumn& c : description_.gridColumns)
        columns << GridColumn{c.field, c.title};
    grid_->setColumns(columns);
    for (const QString& f : description_.hiddenColumns)
        grid_->setColumnHidden(f, true);
    if (!description_.countFooter.isEmpty())
        grid_->addFooterCount(description_.countFooter);
    for (const QString& f : description_.sumFooters)
        grid_->addFooterSum(f);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolBar_);
    layout->addWidget(conditionGroup_);
    layout->addWidget(grid_, 1);

    connect(valueEdit_, &QLineEdit::returnPressed, this, [this] { search(); });
    // Until a search is made the export statement lists the whole table.
    export_ = ListStatement{description_.exportHead(), {}};
}

void ListScreen::setConditionVisible(bool visible)
{
    conditionGroup_->setVisible(visible);
}

void ListScreen::addAboveGrid(QWidget* widget)
{
    auto* box = static_cast<QVBoxLayout*>(layout());
    box->insertWidget(box->indexOf(grid_), widget);
}

const Database& ListScreen::db() const
{
    return Database::shared();
}

QAction* ListScreen::addCommand(const QString& caption, const char* objectName,
                                const std::function<void()>& handler)
{
    QAction* a = toolBar_->addAction(caption);
    a->setObjectName(QString::fromLatin1(objectName));
    connect(a, &QAction::triggered, this, handler);
    if (QWidget* button = toolBar_->widgetForAction(a)) {
        button->setObjectName(QString::fromLatin1(objectName) + QStringLiteral("Button"));
        button->setAccessibleName(caption);
    }
    return a;
}

QAction* ListScreen::addSearchCommand()
{
    return addCommand(QStringLiteral("查询"), "searchAction", [this] { search(); });
}
QAction* ListScreen::addRefreshCommand()
{
    return addCommand(QStringLiteral("刷新"), "refreshAction", [this] { refresh(); });
}
QAction* ListScreen::addShowAllCommand()
{
    return addCommand(QStringLiteral("显示全部"), "showAllAction", [this] { showAll(); });
}
QAction* ListScreen::addPrintCommand()
{
    return addCommand(QStringLiteral("打印"), "printAction", [this] { printList(); });
}
QAction* ListScreen::addBarcodeCommand()
{
    return addCommand(QStringLiteral("打印条码"), "printBarcodeAction",
                      [this] { printBarcodes(); });
}
QAction* ListScreen::addExportCommand()
{
    return addCommand(QStringLiteral("转Excel"), "exportAction", [this] { exportToExcel(); });
}
QAction* ListScreen::addCloseCommand()
{
    return addCommand(QStringLiteral("退出"), "closeAction", [this] { close(); });
}

void ListScreen::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    firstShown();
    open(ListStatement{description_.opening(db()), {}});
}

bool ListScreen::open(const ListStatement& statement)
{
    try {
        grid_->setQuery(db(), statement.sql, statement.values);
        statement_ = statement;
        return true;
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
        return false;
    }
}

bool ListScreen::search()
{
    const bool exact = exactButton_->isChecked();
    QString why;
    const auto found =
        ListSearch::statement(db(), description_.selectAll(), description_.table,
                              columnBox_->currentText(), valueEdit_->text(), exact, &why);
    if (!found) {
        Messenger::instance().information(this, why);
        return false;
    }
    if (!open(*found))
        return false;
    const auto condition = ListSearch::condition(
        db(), description_.table, columnBox_->currentText(), valueEdit_->text(), exact, &why);
    export_ = ListStatement{description_.exportHead() + QStringLiteral(" where ") + condition->sql,
                            condition->values};
    return true;
}

void ListScreen::refresh()
{
    open(statement_);
}

void ListScreen::refreshKeeping(const QString& keyField, const QString& key)
{
    // The grid's own statement again, so that its header filters stay; a short list is
    // sorted in memory, so its sort is applied again.
    QHeaderView* header = grid_->view()->horizontalHeader();
    const int sortColumn = header->sortIndicatorSection();
    const Qt::SortOrder sortOrder = header->sortIndicatorOrder();
    try {
        grid_->refresh();
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
        return;
    }
    if (sortColumn >= 0 && sortColumn < grid_->model()->columnCount())
        grid_->view()->sortByColumn(sortColumn, sortOrder);
    GridModel* model = grid_->model();
    for (int row = 0;; ++row) {
        while (row >= grid_->rowCount() && model->canFetchMore())
            model->fetchMore();
        if (row >= grid_->rowCount())
            return;
        if (DbValue::toText(grid_->value(row, keyField)) == key) {
            grid_->setCurrentRow(row);
            return;
        }
    }
}

void ListScreen::showAll()
{
    open(ListStatement{description_.selectAll(), {}});
}

void ListScreen::printList()
{
    QList<ReportColumn> columns;
    QStringList fields;
    for (const PrintColumn& c : description_.printColumns) {
        columns << ReportColumn{c.field, c.title, c.widthMm};
        fields << c.field;
    }
    Report report = Report::list(description_.printTitle, columns);
    for (const QString& f : {description_.printSumField1, description_.printSumField2})
        if (!f.isEmpty() && !fields.contains(f))
            fields << f;
    if (!description_.printSumField1.isEmpty())
        report.addSummarySum(description_.printSumLabel1, description_.printSumField1);
    if (!description_.printSumField2.isEmpty())
        report.addSummarySum(description_.printSumLabel2, description_.printSumField2, true);
    try {
        previewReport(this, report, grid_->reportRows(fields));
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void ListScreen::printBarcodes()
{
    Report report;
    report.setTitle(description_.printTitle + QStringLiteral("条码"));
    ReportBand& band = report.band(BandKind::Data, 24);
    band.columns(3, 63);
    band.barcode(QStringLiteral("Bar1"), 2, 2, 58, 20, QStringLiteral("[条形码]")).fontSize(7);
    try {
        previewReport(this, report, grid_->reportRows({QStringLiteral("条形码")}));
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

QString ListScreen::emptyListStatement() const
{
    if (description_.gridColumns.isEmpty())
        return description_.selectAll() + QStringLiteral(" where 1 = 0");
    QStringList columns;
    for (const ShownColumn& c : description_.gridColumns)
        columns << QStringLiteral("null as \"%1\"").arg(c.field);
    return QStringLiteral("select ") + columns.join(QStringLiteral(", ")) +
           QStringLiteral(" where 1 = 0");
}

void ListScreen::exportToExcel()
{
    try {
        // A new query each time: a statement read once cannot always be read again.
        if (!grid_->model()->hasStatement()) {
            // Nothing is shown (no statement ran, or the last one failed): a sheet of the
            // headings alone, never the rows of an earlier statement.
            QSqlQuery q = db().query(emptyListStatement());
            ExportToExcel(q, 0, q.record().count() - 1, this);
        } else if (description_.exportColumns.isEmpty()) {
            std::optional<QSqlQuery> q = grid_->exportQuery();
            if (!q)
                q = db().query(statement_.sql, statement_.values);
            ExportToExcel(*q, 0, q->record().count() - 1, this);
        } else {
            QSqlQuery q = db().query(export_.sql, export_.values);
            ExportToExcel(q, 0, q.record().count() - 1, this);
        }
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}
