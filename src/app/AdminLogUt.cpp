#include "AdminLogUt.h"

#include "FormHelpers.h"
#include "data/Database.h"
#include "report/ReportPreview.h"
#include "widgets/DataGrid.h"
#include "widgets/ExportToExcel.h"
#include "widgets/Messenger.h"
#include "widgets/ResultMessages.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QVBoxLayout>

using FormHelpers::toolButton;

TAdminLogFm::TAdminLogFm(QWidget* parent) : QWidget(parent), rules_(Database::shared())
{
    setObjectName(QStringLiteral("TAdminLogFm"));
    setWindowTitle(AdminLogText::Caption);

    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    deleteButton_ = toolButton(this, bar, QStringLiteral("删除当前"), "deleteButton");
    deleteAllButton_ = toolButton(this, bar, QStringLiteral("全部删除"), "deleteAllButton");
    excelButton_ = toolButton(this, bar, QStringLiteral("导出Excel"), "excelButton");
    printButton_ = toolButton(this, bar, QStringLiteral("打印"), "printButton");
    exitButton_ = toolButton(this, bar, QStringLiteral("退出"), "exitButton");
    bar->addStretch();
    layout->addLayout(bar);

    grid_ = new DataGrid(this);
    FormHelpers::name(grid_, "grid", AdminLogText::Caption);
    grid_->setColumns({{QStringLiteral("id"), {}},
                       {QStringLiteral("事件"), {}},
                       {QStringLiteral("日期"), {}},
                       {QStringLiteral("管理员"), {}},
                       {QStringLiteral("说明"), {}}});
    grid_->addFooterCount(QStringLiteral("id"));
    grid_->view()->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(grid_, 1);

    connect(deleteButton_, &QPushButton::clicked, this, &TAdminLogFm::deleteClick);
    connect(deleteAllButton_, &QPushButton::clicked, this, &TAdminLogFm::deleteAllClick);
    connect(excelButton_, &QPushButton::clicked, this, &TAdminLogFm::excelClick);
    connect(printButton_, &QPushButton::clicked, this, &TAdminLogFm::printClick);
    connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);

    resize(760, 480);
    open();
}

void TAdminLogFm::open()
{
    try {
        grid_->setQuery(Database::shared(), AdminLogRules::selectSql());
        const int moment = grid_->model()->fieldIndex(QStringLiteral("日期"));
        if (moment >= 0)
            grid_->view()->resizeColumnToContents(moment);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TAdminLogFm::deleteClick()
{
    // The id of the row shown as current, whatever the grid's order; none on an empty grid.
    const QVariant id = grid_->currentValue(QStringLiteral("id"));
    const int row = grid_->currentRow();
    if (!confirmResult(this, AdminLogRules::removeOneCheck(id)))
        return;
    const RuleResult result = rules_.removeOne(id);
    showResult(this, result);
    if (!result.done())
        return;
    // Read again in the order shown: a sort of rows all in memory is not the statement's.
    const QHeaderView* header = grid_->view()->horizontalHeader();
    const int section = header->sortIndicatorSection();
    const Qt::SortOrder order = header->sortIndicatorOrder();
    try {
        grid_->refresh();
        if (section >= 0 && section < grid_->model()->columnCount())
            grid_->view()->sortByColumn(section, order);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
    grid_->setCurrentRow(std::min(row, grid_->rowCount() - 1));
}

void TAdminLogFm::deleteAllClick()
{
    if (!confirmResult(this, AdminLogRules::removeAllCheck()))
        return;
    const RuleResult result = rules_.removeAll();
    showResult(this, result);
    if (result.done())
        grid_->clear(); // empty until the screen is opened again
}

void TAdminLogFm::excelClick()
{
    const QHeaderView* header = grid_->view()->horizontalHeader();
    const int section = header->sortIndicatorSection();
    const QStringList& fields = grid_->model()->fields();
    const QString field = section >= 0 && section < fields.size() ? fields[section] : QString();
    try {
        QSqlQuery query =
            rules_.exportQuery(field, header->sortIndicatorOrder() == Qt::DescendingOrder);
        ExportToExcel(query, 0, query.record().count() - 1, this);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TAdminLogFm::printClick()
{
    try {
        previewReport(this, AdminLogRules::report(), grid_->reportRows());
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}
