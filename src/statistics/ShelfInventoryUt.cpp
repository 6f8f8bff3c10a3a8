#include "ShelfInventoryUt.h"

#include "circulation/DeskWidgets.h"
#include "circulation/Lending.h"
#include "data/LoginState.h"
#include "report/ReportPreview.h"
#include "widgets/DataGrid.h"
#include "widgets/ExportToExcel.h"
#include "widgets/Messenger.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlRecord>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
const QString kAllPlaces = QStringLiteral("全部");

// The columns of each list, shown and printed.
QList<GridColumn> listColumns(int tab)
{
    QList<GridColumn> c{{QStringLiteral("类别"), {}},     {QStringLiteral("编号"), {}},
                        {QStringLiteral("名称"), {}},     {QStringLiteral("条形码"), {}},
                        {QStringLiteral("存放位置"), {}}, {QStringLiteral("数量"), {}}};
    if (tab == 2)
        c << GridColumn{QStringLiteral("读者编号"), {}}
          << GridColumn{QStringLiteral("读者姓名"), {}}
          << GridColumn{QStringLiteral("联系电话"), {}}
          << GridColumn{QStringLiteral("借阅日期"), {}}
          << GridColumn{QStringLiteral("应还日期"), {}};
    return c;
}

double printWidth(const QString& field)
{
    if (field == QStringLiteral("名称"))
        return 50;
    if (field == QStringLiteral("类别") || field == QStringLiteral("数量"))
        return 12;
    return 24;
}
} // namespace

QStringList TShelfInventoryFm::listCaptions()
{
    return {QStringLiteral("缺失"), QStringLiteral("错放"), QStringLiteral("借出未还")};
}

TShelfInventoryFm::TShelfInventoryFm(QWidget* parent) : QWidget(parent)
{
    using namespace DeskWidgets;
    setObjectName(QStringLiteral("TShelfInventoryFm"));
    setWindowTitle(QStringLiteral("扫描盘点"));
    resize(900, 600);
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    auto* placeLabel = new QLabel(QStringLiteral("存放位置:"), this);
    placeBox_ = new QComboBox(this);
    placeBox_->setObjectName(QStringLiteral("placeBox"));
    placeBox_->setAccessibleName(QStringLiteral("存放位置:"));
    // Editable: an item's 存放位置 may hold a text that is in no lookup row.
    placeBox_->setEditable(true);
    placeLabel->setBuddy(placeBox_);
    startButton_ = button(QStringLiteral("开始"), QStringLiteral("startButton"));
    top->addWidget(placeLabel);
    top->addWidget(placeBox_);
    top->addWidget(startButton_);
    top->addStretch();
    layout->addLayout(top);

    // The table and the key of a scan, as at the lending desk.
    auto* scanRow = new QHBoxLayout;
    booksButton_ = radio(QStringLiteral("图书"), QStringLiteral("booksButton"));
    periodicalsButton_ = radio(QStringLiteral("期刊"), QStringLiteral("periodicalsButton"));
    numberButton_ = radio(QStringLiteral("编号"), QStringLiteral("numberButton"));
    barcodeButton_ = radio(QStringLiteral("条形码"), QStringLiteral("barcodeButton"));
    auto* tables = new QButtonGroup(this);
    tables->addButton(booksButton_);
    tables->addButton(periodicalsButton_);
    auto* keys = new QButtonGroup(this);
    keys->addButton(numberButton_);
    keys->addButton(barcodeButton_);
    booksButton_->setChecked(true);
    numberButton_->setChecked(true);
    auto* scanLabel = new QLabel(QStringLiteral("扫描:"), this);
    scanEdit_ = new QLineEdit(this);
    scanEdit_->setObjectName(QStringLiteral("scanEdit"));
    scanEdit_->setAccessibleName(QStringLiteral("扫描:"));
    scanLabel->setBuddy(scanEdit_);
    countLabel_ = new QLabel(this);
    countLabel_->setObjectName(QStringLiteral("countLabel"));
    countLabel_->setAccessibleName(QStringLiteral("已扫描"));
    finishButton_ = button(QStringLiteral("完成"), QStringLiteral("finishButton"));
    QPushButton* closeButton = button(QStringLiteral("关闭"), QStringLiteral("closeButton"));
    for (QWidget* w : std::initializer_list<QWidget*>{booksButton_, periodicalsButton_,
                                                      numberButton_, barcodeButton_, scanLabel})
        scanRow->addWidget(w);
    scanRow->addWidget(scanEdit_, 1);
    scanRow->addWidget(finishButton_);
    scanRow->addWidget(closeButton);
    layout->addLayout(scanRow);
    lastLabel_ = new QLabel(this);
    lastLabel_->setObjectName(QStringLiteral("lastScanLabel"));
    lastLabel_->setAccessibleName(QStringLiteral("最近扫描"));
    // The running count, then what the last scan found.
    auto* infoRow = new QHBoxLayout;
    infoRow->addWidget(countLabel_);
    infoRow->addSpacing(24);
    infoRow->addWidget(lastLabel_, 1);
    layout->addLayout(infoRow);

    lists_ = new QTabWidget(this);
    lists_->setObjectName(QStringLiteral("listTabs"));
    const QStringList captions = listCaptions();
    for (int tab = 0; tab < 3; ++tab) {
        auto* page = new QWidget(lists_);
        auto* pageLayout = new QVBoxLayout(page);
        auto* buttons = new QHBoxLayout;
        QPushButton* print =
            button(QStringLiteral("打印"), QStringLiteral("printButton%1").arg(tab));
        QPushButton* exportButton =
            button(QStringLiteral("转Excel"), QStringLiteral("exportButton%1").arg(tab));
        buttons->addWidget(print);
        buttons->addWidget(exportButton);
        buttons->addStretch();
        pageLayout->addLayout(buttons);
        grids_[tab] = new DataGrid(page);
        grids_[tab]->setObjectName(QStringLiteral("listGrid%1").arg(tab));
        grids_[tab]->setAccessibleName(captions.at(tab));
        grids_[tab]->setColumns(listColumns(tab));
        grids_[tab]->addFooterCount(QStringLiteral("编号"));
        pageLayout->addWidget(grids_[tab], 1);
        lists_->addTab(page, captions.at(tab));
        connect(print, &QPushButton::clicked, this, [this, tab] { printList(tab); });
        connect(exportButton, &QPushButton::clicked, this, [this, tab] { exportList(tab); });
    }
    layout->addWidget(lists_, 1);

    connect(startButton_, &QPushButton::clicked, this, &TShelfInventoryFm::startClick);
    connect(scanEdit_, &QLineEdit::returnPressed, this, &TShelfInventoryFm::scanEntered);
    connect(finishButton_, &QPushButton::clicked, this, &TShelfInventoryFm::finishClick);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    scanEdit_->setEnabled(false);
    finishButton_->setEnabled(false);
    lists_->setEnabled(false);
    try {
        placeBox_->addItem(kAllPlaces);
        placeBox_->addItems(rules_.places());
        if (Lending::initialKey() == QStringLiteral("条形码"))
            barcodeButton_->setChecked(true);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TShelfInventoryFm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    // An inventory left unfinished (closed window, restart) is offered first; declined, it
    // is closed as it stands.
    try {
        const std::optional<InventoryRun> open = rules_.unfinished();
        if (!open)
            return;
        if (Messenger::instance().confirm(this, ShelfInventory::resumeQuestion(*open),
                                          windowTitle()))
            begin(*open);
        else
            rules_.finish(open->id);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TShelfInventoryFm::startClick()
{
    const QString place =
        placeBox_->currentText() == kAllPlaces ? QString() : placeBox_->currentText();
    try {
        begin(rules_.start(place, LoginState::instance().OperatorName));
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TShelfInventoryFm::begin(const InventoryRun& run)
{
    run_ = run;
    placeBox_->setCurrentText(run.place.isEmpty() ? kAllPlaces : run.place);
    placeBox_->setEnabled(false);
    startButton_->setEnabled(false);
    scanEdit_->setEnabled(true);
    finishButton_->setEnabled(true);
    lists_->setEnabled(false);
    for (DataGrid* g : grids_)
        g->clear();
    showCount(run.scanned);
    lastLabel_->clear();
    scanEdit_->setFocus();
}

void TShelfInventoryFm::showCount(int scanned)
{
    countLabel_->setText(QStringLiteral("已扫描: %1").arg(scanned));
}

void TShelfInventoryFm::scanEntered()
{
    if (!run_)
        return;
    const QString text = scanEdit_->text();
    scanEdit_->clear();
    scanEdit_->setFocus();
    if (text.isEmpty())
        return;
    try {
        const InventoryScan s = rules_.scan(
            run_->id, booksButton_->isChecked() ? QStringLiteral("图书") : QStringLiteral("期刊"),
            barcodeButton_->isChecked() ? QStringLiteral("条形码") : QStringLiteral("编号"), text);
        showCount(s.scanned);
        if (!s.found) {
            Messenger::instance().beep();
            lastLabel_->setText(text + QStringLiteral(": ") + s.message);
            return;
        }
        QString note;
        if (!s.counted)
            note = QStringLiteral(" 已扫描过");
        else if (s.uncounted > 0)
            note = QStringLiteral(" 同一条形码还有%1件未扫描").arg(s.uncounted);
        lastLabel_->setText(QStringLiteral("%1 %2 (%3)%4").arg(s.编号, s.名称, s.存放位置, note));
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

ListStatement TShelfInventoryFm::listStatement(int tab) const
{
    if (tab == 0)
        return rules_.missing(*run_);
    if (tab == 1)
        return rules_.misplaced(*run_);
    return rules_.onLoan(*run_);
}

void TShelfInventoryFm::finishClick()
{
    if (!run_)
        return;
    try {
        rules_.finish(run_->id);
        for (int tab = 0; tab < 3; ++tab) {
            const ListStatement s = listStatement(tab);
            grids_[tab]->setQuery(Database::shared(), s.sql, s.values);
        }
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
        return;
    }
    scanEdit_->setEnabled(false);
    finishButton_->setEnabled(false);
    lists_->setEnabled(true);
    placeBox_->setEnabled(true);
    startButton_->setEnabled(true);
}

void TShelfInventoryFm::printList(int tab)
{
    QList<ReportColumn> columns;
    QStringList fields;
    for (const GridColumn& c : listColumns(tab)) {
        columns << ReportColumn{c.field, c.field, printWidth(c.field)};
        fields << c.field;
    }
    const QString title =
        QStringLiteral("扫描盘点 %1 - %2")
            .arg(run_->place.isEmpty() ? kAllPlaces : run_->place, listCaptions().at(tab));
    Report report =
        Report::list(title, columns, tab == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
    try {
        previewReport(this, report, grids_[tab]->reportRows(fields));
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TShelfInventoryFm::exportList(int tab)
{
    try {
        std::optional<QSqlQuery> q = grids_[tab]->exportQuery();
        if (!q) {
            const ListStatement s = listStatement(tab);
            q = Database::shared().query(s.sql, s.values);
        }
        ExportToExcel(*q, 0, q->record().count() - 1, this);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}
