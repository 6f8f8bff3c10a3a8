#include "BkRegUt.h"

#include "CatalogueItems.h"
#include "data/Clock.h"
#include "widgets/Messenger.h"
#include "widgets/ScreenRegistry.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

ListDescription accessionList()
{
    ListDescription d;
    d.table = QStringLiteral("图书");
    d.caption = QStringLiteral("资料入库登记信息统计");
    d.objectName = QStringLiteral("TBkRegFm");
    for (const char* f : {"编号", "条形码", "名称", "分类", "存放位置", "出版社", "数量", "价格",
                          "入库时间", "登记人"})
        d.gridColumns << ShownColumn{QString::fromUtf8(f), {}};
    d.countFooter = QStringLiteral("编号");
    d.sumFooters = {QStringLiteral("数量"), QStringLiteral("价格")};
    d.printTitle = QStringLiteral("资料入库登记信息统计");
    return d;
}

// The printed headings of the chosen table over 编号, 条形码, 名称, 一级分类, 存放位置, 数量.
QList<PrintColumn> printColumns(bool books)
{
    return {
        {QStringLiteral("编号"), books ? QStringLiteral("图书编号") : QStringLiteral("编号"), 28},
        {QStringLiteral("条形码"), QStringLiteral("条形码"), 32},
        {QStringLiteral("名称"), books ? QStringLiteral("书名") : QStringLiteral("名称"), 60},
        {QStringLiteral("一级分类"), QStringLiteral("类别"), 25},
        {QStringLiteral("存放位置"), QStringLiteral("存放位置"), 25},
        {QStringLiteral("数量"), QStringLiteral("数量"), 15}};
}

} // namespace

TBkRegFm::TBkRegFm(QWidget* parent) : ListScreen(accessionList(), parent)
{
    setWindowState(windowState() | Qt::WindowMaximized);
    addPrintCommand();
    addCommand(QStringLiteral("导出Excel"), "exportAction", [this] { exportToExcel(); });
    addCommand(QStringLiteral("管理员录入统计"), "entryStatisticsAction", [this] {
        ScreenRegistry::instance().open(Command::EntryStatistics, this);
    })->setEnabled(ScreenRegistry::instance().has(Command::EntryStatistics));
    addCloseCommand();
    setConditionVisible(false);

    tableGroup_ = new QGroupBox(QStringLiteral("图书"), this);
    tableGroup_->setObjectName(QStringLiteral("tableGroup"));
    tableGroup_->setAccessibleName(tableGroup_->title());
    booksButton_ = new QRadioButton(QStringLiteral("图书"), tableGroup_);
    booksButton_->setObjectName(QStringLiteral("booksButton"));
    booksButton_->setAccessibleName(booksButton_->text());
    booksButton_->setChecked(true);
    periodicalsButton_ = new QRadioButton(QStringLiteral("期刊"), tableGroup_);
    periodicalsButton_->setObjectName(QStringLiteral("periodicalsButton"));
    periodicalsButton_->setAccessibleName(periodicalsButton_->text());
    fromEdit_ = new QDateEdit(Clock::today().addDays(1 - Clock::today().day()), tableGroup_);
    fromEdit_->setObjectName(QStringLiteral("fromEdit"));
    fromEdit_->setAccessibleName(QStringLiteral("入库登记时间从"));
    toEdit_ = new QDateEdit(Clock::today(), tableGroup_);
    toEdit_->setObjectName(QStringLiteral("toEdit"));
    toEdit_->setAccessibleName(QStringLiteral("到"));
    for (QDateEdit* e : {fromEdit_, toEdit_}) {
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        e->setCalendarPopup(true);
    }
    auto* countButton = new QPushButton(QStringLiteral("统计"), tableGroup_);
    countButton->setObjectName(QStringLiteral("countButton"));
    countButton->setAccessibleName(countButton->text());
    auto* fromLabel = new QLabel(QStringLiteral("入库登记时间从"), tableGroup_);
    fromLabel->setBuddy(fromEdit_);
    auto* toLabel = new QLabel(QStringLiteral("到"), tableGroup_);
    toLabel->setBuddy(toEdit_);
    auto* row = new QHBoxLayout(tableGroup_);
    row->addWidget(booksButton_);
    row->addWidget(periodicalsButton_);
    row->addSpacing(20);
    row->addWidget(fromLabel);
    row->addWidget(fromEdit_);
    row->addWidget(toLabel);
    row->addWidget(toEdit_);
    row->addWidget(countButton);
    row->addStretch();
    addAboveGrid(tableGroup_);
    changeDescription().printColumns = printColumns(true);

    connect(booksButton_, &QRadioButton::toggled, this, &TBkRegFm::tableChosen);
    connect(countButton, &QPushButton::clicked, this, &TBkRegFm::count);
}

void TBkRegFm::showEvent(QShowEvent* event)
{
    // The list stays empty until "统计".
    QWidget::showEvent(event);
}

void TBkRegFm::tableChosen()
{
    const bool books = booksButton_->isChecked();
    tableGroup_->setTitle((books ? booksButton_ : periodicalsButton_)->text().trimmed());
    changeDescription().table = tableGroup_->title();
    changeDescription().printColumns = printColumns(books);
}

void TBkRegFm::count()
{
    QString warning;
    const ListStatement s = CatalogueItems::accessionStatement(
        tableGroup_->title(), fromEdit_->date(), toEdit_->date(), &warning);
    if (!warning.isEmpty())
        Messenger::instance().information(this, warning);
    open(s);
}
