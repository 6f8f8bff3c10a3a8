#include "BkJySearchUt.h"

#include "OverdueNotices.h"
#include "data/Clock.h"
#include "data/LoginState.h"
#include "report/ReportPreview.h"
#include "widgets/DataGrid.h"
#include "widgets/ExportToExcel.h"
#include "widgets/Messenger.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSqlRecord>

namespace {
// The loan report of both screens: 顺序号, reader, item, category, lending date, returned.
Report loanReport(const ListDescription& d)
{
    QList<ReportColumn> columns;
    for (const PrintColumn& c : d.printColumns)
        columns << ReportColumn{c.field, c.title, c.widthMm};
    return Report::list(d.printTitle, columns);
}

QStringList printFields(const ListDescription& d)
{
    QStringList fields;
    for (const PrintColumn& c : d.printColumns)
        fields << c.field;
    return fields;
}
} // namespace

TBkJySearchFm::TBkJySearchFm(QWidget* parent) : ListScreen(LoanQueries::searchDescription(), parent)
{
    setWindowState(windowState() | Qt::WindowMaximized);
    addCommand(QStringLiteral("查询"), "searchAction", [this] { searchClick(); });
    addCommand(QStringLiteral("打印"), "printAction", [this] { printClick(); });
    addCommand(QStringLiteral("转EXCEL"), "exportAction", [this] { exportToExcel(); });
    addCloseCommand();
    setConditionVisible(false);
    grid()->addFooterSum(QStringLiteral("租金"), FooterFormat::WholeNumber);
    grid()->addFooterSum(QStringLiteral("赔偿金额"), FooterFormat::WholeNumber);

    auto* group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("conditionGroup"));
    group->setAccessibleName(QStringLiteral("查询条件"));
    auto* box = new QGridLayout(group);
    int column = 0;
    auto addText = [&](const QString& caption, const char* objectName) {
        QLineEdit* e = textEdit(caption, objectName);
        auto* label = new QLabel(caption, group);
        label->setBuddy(e);
        box->addWidget(label, 0, column++);
        box->addWidget(e, 0, column++);
        return e;
    };
    numberEdit_ = addText(QStringLiteral("编号:"), "numberEdit");
    nameEdit_ = addText(QStringLiteral("名称:"), "nameEdit");
    barcodeEdit_ = addText(QStringLiteral("条形码:"), "barcodeEdit");
    readerNumberEdit_ = addText(QStringLiteral("读者编号:"), "readerNumberEdit");
    readerNameEdit_ = addText(QStringLiteral("读者姓名:"), "readerNameEdit");

    auto addRange = [&](int row, QCheckBox** check, const QString& caption, const char* name,
                        QDateEdit** from, QDateEdit** to, const char* fromName,
                        const char* toName) {
        *check = new QCheckBox(caption, group);
        (*check)->setObjectName(QString::fromLatin1(name));
        (*check)->setAccessibleName(caption);
        *from = dateEdit(caption, fromName);
        *to = dateEdit(QStringLiteral("到"), toName);
        auto* toLabel = new QLabel(QStringLiteral("到"), group);
        toLabel->setBuddy(*to);
        box->addWidget(*check, row, 0, 1, 2);
        box->addWidget(*from, row, 2);
        box->addWidget(toLabel, row, 3);
        box->addWidget(*to, row, 4);
        connect(*check, &QCheckBox::toggled, *from, &QWidget::setEnabled);
        connect(*check, &QCheckBox::toggled, *to, &QWidget::setEnabled);
        (*from)->setEnabled(false);
        (*to)->setEnabled(false);
    };
    addRange(1, &lentBox_, QStringLiteral("借阅时间 从"), "lentBox", &lentFromEdit_, &lentToEdit_,
             "lentFromEdit", "lentToEdit");
    addRange(2, &returnedBox_, QStringLiteral("归还时间 从"), "returnedBox", &returnedFromEdit_,
             &returnedToEdit_, "returnedFromEdit", "returnedToEdit");
    stateBox_ = new QCheckBox(QStringLiteral("已还"), group);
    stateBox_->setObjectName(QStringLiteral("returnedStateBox"));
    stateBox_->setAccessibleName(stateBox_->text());
    stateCombo_ = new QComboBox(group);
    stateCombo_->setObjectName(QStringLiteral("returnedStateCombo"));
    stateCombo_->setAccessibleName(QStringLiteral("已还"));
    stateCombo_->setEnabled(false);
    connect(stateBox_, &QCheckBox::toggled, stateCombo_, &QWidget::setEnabled);
    box->addWidget(stateBox_, 3, 0, 1, 2);
    box->addWidget(stateCombo_, 3, 2);
    addAboveGrid(group);
}

QLineEdit* TBkJySearchFm::textEdit(const QString& caption, const char* objectName)
{
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(objectName));
    e->setAccessibleName(caption);
    connect(e, &QLineEdit::returnPressed, this, &TBkJySearchFm::searchClick);
    return e;
}

QDateEdit* TBkJySearchFm::dateEdit(const QString& caption, const char* objectName)
{
    auto* e = new QDateEdit(Clock::today(), this);
    e->setObjectName(QString::fromLatin1(objectName));
    e->setAccessibleName(caption);
    e->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    e->setCalendarPopup(true);
    return e;
}

void TBkJySearchFm::firstShown()
{
    for (QLineEdit* e : {numberEdit_, nameEdit_, barcodeEdit_, readerNumberEdit_, readerNameEdit_})
        e->clear();
    lentToEdit_->setDate(Clock::today());
    returnedToEdit_->setDate(Clock::today());
    stateCombo_->clear();
    stateCombo_->addItems({QStringLiteral("是"), QStringLiteral("否")});
    stateCombo_->setCurrentIndex(0);
}

LoanConditions TBkJySearchFm::conditions() const
{
    LoanConditions c;
    c.number = numberEdit_->text();
    c.name = nameEdit_->text();
    c.barcode = barcodeEdit_->text();
    c.readerNumber = readerNumberEdit_->text();
    c.readerName = readerNameEdit_->text();
    c.lentBetween = lentBox_->isChecked();
    c.lentFrom = lentFromEdit_->date();
    c.lentTo = lentToEdit_->date();
    c.returnedBetween = returnedBox_->isChecked();
    c.returnedFrom = returnedFromEdit_->date();
    c.returnedTo = returnedToEdit_->date();
    c.returnedState = stateBox_->isChecked();
    c.returned = stateCombo_->currentText();
    return c;
}

void TBkJySearchFm::searchClick()
{
    QString message;
    const std::optional<ListStatement> s = LoanQueries::search(conditions(), &message);
    if (!s) {
        Messenger::instance().information(this, message);
        return;
    }
    open(*s);
}

void TBkJySearchFm::printClick()
{
    Report report = loanReport(description());
    report.addSummarySum(QStringLiteral("价格合计:"), QStringLiteral("价格"));
    report.addSummarySum(QStringLiteral("  实际租金合计:"), QStringLiteral("实际租金"), true);
    report.addSummarySum(QStringLiteral("  赔偿金额合计:"), QStringLiteral("赔偿金额"), true);
    QStringList fields = printFields(description());
    fields << QStringLiteral("价格") << QStringLiteral("实际租金") << QStringLiteral("赔偿金额");
    try {
        previewReport(this, report, grid()->reportRows(fields));
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

TDueRecordFm::TDueRecordFm(QWidget* parent) : ListScreen(LoanQueries::overdueDescription(), parent)
{
    setWindowState(windowState() | Qt::WindowMaximized);
    addCommand(QStringLiteral("打印报表"), "printAction", [this] {
        try {
            previewReport(this, loanReport(description()),
                          grid()->reportRows(printFields(description())));
        } catch (const DbError& e) {
            Messenger::instance().error(this, e.message());
        }
    });
    addCommand(QStringLiteral("催还通知"), "noticesAction", [this] { noticesClick(); });
    addCommand(QStringLiteral("逾期读者转Excel"), "overdueReadersAction",
               [this] { exportReadersClick(); });
    addCloseCommand();
    setConditionVisible(false);
}

void TDueRecordFm::noticesClick()
{
    const LoginState& state = LoginState::instance();
    const QDate today = Clock::today();
    try {
        const OverdueNotices notices(db());
        const QList<OverdueNotice> list = notices.notices(today, state.settings);
        if (list.isEmpty()) {
            Messenger::instance().information(this, OverdueNotices::kNoNotice);
            return;
        }
        previewReport(
            this, OverdueNotices::report(),
            OverdueNotices::rows(list, state.settings.图书馆名, notices.noticeText(), today));
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TDueRecordFm::exportReadersClick()
{
    try {
        const ListStatement s = OverdueNotices::readers(Clock::today());
        QSqlQuery q = db().query(s.sql, s.values);
        ExportToExcel(q, 0, q.record().count() - 1, this);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TDueRecordFm::showEvent(QShowEvent* event)
{
    // The list opens on the overdue loans, not on the whole table.
    QWidget::showEvent(event);
    if (opened_)
        return;
    opened_ = true;
    open(LoanQueries::overdue(Clock::today()));
}
