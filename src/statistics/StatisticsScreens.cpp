#include "StatisticsScreens.h"

#include "data/Clock.h"
#include "data/LoginState.h"
#include "widgets/BarChart.h"
#include "widgets/DataGrid.h"
#include "widgets/Messenger.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPushButton* button(const QString& caption, const char* objectName, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(objectName));
    b->setAccessibleName(caption);
    return b;
}

QDate firstOfMonth()
{
    const QDate today = Clock::today();
    return today.addDays(1 - today.day());
}

ListDescription statisticsList(const char* table, const QString& caption, const char* objectName,
                               std::initializer_list<const char*> columns)
{
    ListDescription d;
    d.table = QString::fromUtf8(table);
    d.caption = caption;
    d.objectName = QString::fromLatin1(objectName);
    d.printTitle = caption;
    for (const char* c : columns) {
        d.gridColumns << ShownColumn{QString::fromUtf8(c), {}};
        d.printColumns << PrintColumn{QString::fromUtf8(c), QString::fromUtf8(c), 30};
    }
    return d;
}

} // namespace

DateRange::DateRange(const QString& fromCaption, const QDate& from, const QDate& to,
                     QWidget* parent)
    : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    from_ = new QDateEdit(from, this);
    from_->setObjectName(QStringLiteral("fromEdit"));
    from_->setAccessibleName(fromCaption);
    to_ = new QDateEdit(to, this);
    to_->setObjectName(QStringLiteral("toEdit"));
    to_->setAccessibleName(QStringLiteral("到"));
    auto* fromLabel = new QLabel(fromCaption, this);
    fromLabel->setBuddy(from_);
    auto* toLabel = new QLabel(QStringLiteral("到"), this);
    toLabel->setBuddy(to_);
    for (QDateEdit* e : {from_, to_}) {
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        e->setCalendarPopup(true);
    }
    row->addWidget(fromLabel);
    row->addWidget(from_);
    row->addWidget(toLabel);
    row->addWidget(to_);
}

ChartScreen::ChartScreen(ChartKind kind, const QString& caption, const char* objectName,
                         QWidget* parent)
    : QWidget(parent), kind_(kind)
{
    setObjectName(QString::fromLatin1(objectName));
    setWindowTitle(caption);
    chart_ = new BarChart(this);
    chart_->setObjectName(QStringLiteral("chart"));
    chart_->setAccessibleName(Statistics::ChartTitle);
    chart_->setTitle(Statistics::ChartTitle);
    QPushButton* ok = button(QStringLiteral("确定"), "okButton", this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chart_, 1);
    auto* bar = new QHBoxLayout;
    bar->addStretch();
    bar->addWidget(ok);
    layout->addLayout(bar);
    resize(800, 500);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
}

void ChartScreen::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    const Database& db = Database::shared();
    const ChartQuery q = Statistics::chart(db, kind_);
    try {
        chart_->setQuery(db, q.sql, {}, q.labelField, q.valueField);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

TBkChartFm::TBkChartFm(QWidget* parent)
    : ChartScreen(ChartKind::Books, QStringLiteral("图书统计"), "TBkChartFm", parent)
{
}
TQkChartFm::TQkChartFm(QWidget* parent)
    : ChartScreen(ChartKind::Periodicals, QStringLiteral("期刊统计"), "TQkChartFm", parent)
{
}
TRdChartFm::TRdChartFm(QWidget* parent)
    : ChartScreen(ChartKind::Readers, QStringLiteral("读者信息"), "TRdChartFm", parent)
{
}

TSortSearchFM::TSortSearchFM(QWidget* parent)
    : ListScreen(statisticsList("图书", QStringLiteral("分类统计"), "TSortSearchFM",
                                {"分类", "数量", "金额"}),
                 parent)
{
    setWindowState(windowState() | Qt::WindowMaximized);
    addCommand(QStringLiteral("统计"), "countAction", [this] { countClick(); });
    addCommand(QStringLiteral("导出Excel"), "exportAction", [this] { exportToExcel(); });
    addCommand(QStringLiteral("打印"), "printAction", [this] { printList(); });
    addCloseCommand();
    setConditionVisible(false);
    grid()->setFieldKind(QStringLiteral("金额"), FieldKind::Money);
    grid()->setFieldKind(QStringLiteral("数量"), FieldKind::Integer);

    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    tableBox_ = new QComboBox(bar);
    tableBox_->setObjectName(QStringLiteral("tableBox"));
    tableBox_->setAccessibleName(QStringLiteral("统计范围:"));
    tableBox_->setEditable(true);
    tableBox_->setInsertPolicy(QComboBox::NoInsert);
    tableBox_->addItems({QStringLiteral("图书"), QStringLiteral("期刊")});
    auto* label = new QLabel(QStringLiteral("统计范围:"), bar);
    label->setBuddy(tableBox_);
    row->addWidget(label);
    row->addWidget(tableBox_);
    row->addStretch();
    addAboveGrid(bar);
}

void TSortSearchFM::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (opened_)
        return;
    opened_ = true;
    countClick();
}

void TSortSearchFM::countClick()
{
    QString why;
    const auto s = Statistics::categories(db(), tableBox_->currentText(), &why);
    if (!s) {
        Messenger::instance().information(this, why);
        return;
    }
    if (!open(*s))
        grid()->clear();
}

TAdminLuRuStatFm::TAdminLuRuStatFm(QWidget* parent)
    : ListScreen(statisticsList("图书", QStringLiteral("管理员录入量统计"), "TAdminLuRuStatFm",
                                {"登记人", "记录数", "总价格"}),
                 parent)
{
    addCommand(QStringLiteral("统计"), "countAction", [this] { countClick(); });
    addCommand(QStringLiteral("打印"), "printAction", [this] { printList(); });
    addCommand(QStringLiteral("Excel"), "exportAction", [this] { exportToExcel(); });
    addCommand(QStringLiteral("返回"), "closeAction", [this] { close(); });
    setConditionVisible(false);
    grid()->setHeaderFilterEnabled(true);
    grid()->setFieldKind(QStringLiteral("总价格"), FieldKind::Money);
    grid()->setFieldKind(QStringLiteral("记录数"), FieldKind::Integer);
    range_ = new DateRange(QStringLiteral("从"), firstOfMonth(), Clock::today(), this);
    addAboveGrid(range_);
}

void TAdminLuRuStatFm::showEvent(QShowEvent* event)
{
    // Empty until "统计".
    QWidget::showEvent(event);
}

void TAdminLuRuStatFm::countClick()
{
    const QDate from = range_->fromEdit()->date();
    const QDate to = range_->toEdit()->date();
    Messenger::instance().information(
        this, Statistics::registrarText(LoginState::instance().DbKind, from, to));
    if (!open(Statistics::registrar(db(), from, to)))
        grid()->clear();
}

TShouRuCountFm::TShouRuCountFm(QWidget* parent)
    : ListScreen(
          statisticsList("收入", QStringLiteral("资金统计"), "TShouRuCountFm",
                         {"id", "项目", "时间", "读者编号", "读者姓名", "金额", "管理员", "备注"}),
          parent)
{
    grid()->addFooterSum(QStringLiteral("金额"));
    grid()->setHeaderFilterEnabled(true);
    changeDescription().printColumns.removeFirst(); // id
    changeDescription().printColumns.removeLast();  // 备注
    addCommand(QStringLiteral("统计"), "countAction", [this] { countClick(); });
    addCommand(QStringLiteral("打印"), "printAction", [this] { printList(); });
    addCommand(QStringLiteral("Excel"), "exportAction", [this] { exportToExcel(); });
    addCommand(QStringLiteral("返回"), "closeAction", [this] { close(); });
    setConditionVisible(false);
    range_ = new DateRange(QStringLiteral("从"), firstOfMonth(), Clock::today(), this);
    addAboveGrid(range_);
}

void TShouRuCountFm::countClick()
{
    if (!open(Statistics::income(range_->fromEdit()->date(), range_->toEdit()->date())))
        grid()->clear();
}

TDataCheckFm::TDataCheckFm(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TDataCheckFm"));
    setWindowTitle(QStringLiteral("数据盘点"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    range_ =
        new DateRange(QStringLiteral("时间从:"), Clock::today(), Clock::today().addDays(1), this);
    top->addWidget(range_);
    QPushButton* query = button(QStringLiteral("查询"), "queryButton", this);
    QPushButton* print = button(QStringLiteral("打印"), "printButton", this);
    QPushButton* closeButton = button(QStringLiteral("关闭"), "closeButton", this);
    top->addWidget(query);
    top->addWidget(print);
    top->addWidget(closeButton);
    top->addStretch();
    layout->addLayout(top);

    const QStringList totals{
        "图书总数:",     "期刊总数:",         "读者总数:",        "总未还数量:",
        "历史借出总数:", "当前在库图书数量:", "当前在库期刊数量:"};
    const QStringList range{
        "图书入库数:", "期刊入库数:", "读者登记数:", "租金收入:", "借出次数:", "归还次数:"};
    auto addGroup = [&](const QString& title, const char* objectName, const QStringList& names) {
        auto* group = new QGroupBox(title, this);
        group->setObjectName(QString::fromLatin1(objectName));
        group->setAccessibleName(title);
        auto* grid = new QGridLayout(group);
        for (const QString& caption : names) {
            auto* c = new QLabel(caption, group);
            auto* v = new QLabel(group);
            v->setObjectName(QStringLiteral("figure%1").arg(values_.size()));
            v->setAccessibleName(caption);
            c->setBuddy(v);
            grid->addWidget(c, int(captions_.size()), 0);
            grid->addWidget(v, int(captions_.size()), 1);
            captions_ << c;
            values_ << v;
        }
        layout->addWidget(group);
    };
    addGroup(QStringLiteral("总数"), "totalsGroup", totals);
    addGroup(QStringLiteral("时间段"), "rangeGroup", range);
    layout->addStretch();

    connect(query, &QPushButton::clicked, this, &TDataCheckFm::queryClick);
    connect(print, &QPushButton::clicked, this, &TDataCheckFm::printClick);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    // On opening: the range figures for today to tomorrow, then the totals.
    queryClick();
    try {
        showFigures(Statistics::totals(Database::shared()), 0);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TDataCheckFm::showFigures(const QList<Figure>& figures, int first)
{
    for (int i = 0; i < figures.size(); ++i)
        values_.at(first + i)->setText(figures.at(i).value);
}

void TDataCheckFm::queryClick()
{
    try {
        showFigures(Statistics::rangeFigures(Database::shared(), range_->fromEdit()->date(),
                                             range_->toEdit()->date()),
                    7);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

QString TDataCheckFm::figure(const QString& caption) const
{
    for (int i = 0; i < captions_.size(); ++i)
        if (captions_.at(i)->text() == caption)
            return values_.at(i)->text();
    return {};
}

void TDataCheckFm::printClick()
{
    const QPixmap image = grab();
    QPrinter printer;
    QPainter painter;
    if (!painter.begin(&printer)) {
        Messenger::instance().error(this, QStringLiteral("打印机无法打印."));
        return;
    }
    const QRect page = painter.viewport();
    const QSize size = image.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), size.width(), size.height());
    painter.setWindow(image.rect());
    painter.drawPixmap(0, 0, image);
}
