#include "QkAddUt.h"

#include "BookEntry.h"
#include "data/Clock.h"
#include "widgets/Messenger.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSqlQuery>
#include <QVBoxLayout>

namespace {
template <class W> W* named(W* w, const char* objectName)
{
    w->setObjectName(QString::fromLatin1(objectName));
    return w;
}

QComboBox* editableList(const char* objectName)
{
    auto* box = named(new QComboBox, objectName);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    return box;
}
} // namespace

TQkAddFm::TQkAddFm(QWidget* parent) : QWidget(parent), rules_(CatalogueTable::periodicals())
{
    setObjectName(QStringLiteral("TQkAddFm"));
    setWindowTitle(QStringLiteral("添加期刊---字体加重的项必须填写"));
    numberEdit_ = named(new QLineEdit, "numberEdit");
    titleEdit_ = named(new QLineEdit, "titleEdit");
    barcodeEdit_ = named(new QLineEdit, "barcodeEdit");
    publisherCombo_ = editableList("publisherCombo");
    levelCombo_ = editableList("itemLevelCombo");
    placeCombo_ = editableList("placeCombo");
    categoryCombo_ = editableList("categoryCombo");
    secondCategoryCombo_ = editableList("secondCategoryCombo");
    issnEdit_ = named(new QLineEdit, "issnEdit");
    cnEdit_ = named(new QLineEdit, "cnEdit");
    postCodeEdit_ = named(new QLineEdit, "postCodeEdit");
    issueEdit_ = named(new QLineEdit, "issueEdit");
    totalIssueEdit_ = named(new QLineEdit, "totalIssueEdit");
    publishDateEdit_ = named(new QDateEdit(Clock::today()), "publishDateEdit");
    publishDateEdit_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    publishDateEdit_->setCalendarPopup(true);
    priceEdit_ = named(new QLineEdit, "priceEdit");
    priceEdit_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.]*")), priceEdit_));
    summaryEdit_ = named(new QPlainTextEdit, "summaryEdit");
    summaryEdit_->setTabChangesFocus(true);
    summaryEdit_->setMaximumHeight(80);
    quantityEdit_ = named(new QLineEdit, "quantityEdit");
    quantityEdit_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]*")), quantityEdit_));
    pinyinEdit_ = named(new QLineEdit, "pinyinEdit");
    pinyinEdit_->setReadOnly(true);
    statusCombo_ = editableList("statusCombo");
    statusCombo_->addItems({QStringLiteral("正常"), QStringLiteral("不外借")});

    auto* fields = new QGridLayout;
    int row = 0;
    int col = 0;
    auto add = [&](const QString& text, QWidget* field, bool bold = false) {
        auto* label = new QLabel(text);
        label->setBuddy(field);
        field->setAccessibleName(text);
        if (bold) {
            QFont f = label->font();
            f.setBold(true);
            label->setFont(f);
        }
        fields->addWidget(label, row, col * 2);
        fields->addWidget(field, row, col * 2 + 1);
        if (++col == 3) {
            col = 0;
            ++row;
        }
    };
    add(QStringLiteral("编号"), numberEdit_, true);
    add(QStringLiteral("名称"), titleEdit_, true);
    add(QStringLiteral("条形码"), barcodeEdit_, true);
    add(QStringLiteral("出版社"), publisherCombo_);
    add(QStringLiteral("租金级别"), levelCombo_);
    add(QStringLiteral("存放位置"), placeCombo_);
    add(QStringLiteral("分类"), categoryCombo_);
    add(QStringLiteral("二级分类"), secondCategoryCombo_);
    add(QStringLiteral("ISSN"), issnEdit_);
    add(QStringLiteral("国内统一刊号"), cnEdit_);
    add(QStringLiteral("邮发代号"), postCodeEdit_);
    add(QStringLiteral("第几期"), issueEdit_);
    add(QStringLiteral("总第几期"), totalIssueEdit_);
    add(QStringLiteral("出版时间"), publishDateEdit_);
    add(QStringLiteral("价格"), priceEdit_, true);
    add(QStringLiteral("数量"), quantityEdit_, true);
    add(QStringLiteral("拼音"), pinyinEdit_);
    add(QStringLiteral("状态"), statusCombo_);
    row += 1;
    auto* summaryLabel = new QLabel(QStringLiteral("简介"));
    summaryLabel->setBuddy(summaryEdit_);
    summaryEdit_->setAccessibleName(QStringLiteral("简介"));
    fields->addWidget(summaryLabel, row, 0);
    fields->addWidget(summaryEdit_, row, 1, 1, 5);

    auto* saveButton = named(new QPushButton(QStringLiteral("保存")), "saveButton");
    auto* cancelButton = named(new QPushButton(QStringLiteral("取消")), "cancelButton");
    clearAfterSaveCheck_ =
        named(new QCheckBox(QStringLiteral("保存后清空数据")), "clearAfterSaveCheck");
    clearAfterSaveCheck_->setChecked(true);
    for (QAbstractButton* b :
         std::initializer_list<QAbstractButton*>{saveButton, cancelButton, clearAfterSaveCheck_})
        b->setAccessibleName(b->text());
    auto* bar = new QHBoxLayout;
    bar->addWidget(clearAfterSaveCheck_);
    bar->addStretch();
    bar->addWidget(saveButton);
    bar->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(bar);

    connect(titleEdit_, &QLineEdit::textChanged, this,
            [this](const QString& t) { pinyinEdit_->setText(BookEntry::pinyin(t)); });
    barcodeEdit_->installEventFilter(this);
    connect(saveButton, &QPushButton::clicked, this, &TQkAddFm::save);
    connect(cancelButton, &QPushButton::clicked, this, &QWidget::close);
}

void TQkAddFm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A window restored from minimised keeps what was typed.
    if (event->spontaneous())
        return;
    InitialData();
    try {
        const BookEntryLists l = BookEntry().loadLists();
        const QList<QPair<QComboBox*, QStringList>> lists{{publisherCombo_, l.出版社},
                                                          {levelCombo_, l.物品级别},
                                                          {placeCombo_, l.存放位置},
                                                          {categoryCombo_, l.分类},
                                                          {secondCategoryCombo_, l.二级分类}};
        for (const auto& [box, items] : lists) {
            const QString kept = box->currentText();
            box->clear();
            box->addItems(items);
            box->setCurrentText(kept);
        }
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TQkAddFm::InitialData()
{
    IssueRecord r = CatalogueItems::initialIssue();
    r.出版时间 = publishDateEdit_->date(); // the picker is not reset
    setRecord(r);
    numberEdit_->setFocus();
}

void TQkAddFm::setRecord(const IssueRecord& r)
{
    numberEdit_->setText(r.编号);
    titleEdit_->setText(r.名称);
    pinyinEdit_->setText(r.py); // after the title, so a copied py wins
    barcodeEdit_->setText(r.条形码);
    publisherCombo_->setCurrentText(r.出版社);
    levelCombo_->setCurrentText(r.物品级别);
    placeCombo_->setCurrentText(r.存放位置);
    categoryCombo_->setCurrentText(r.分类);
    secondCategoryCombo_->setCurrentText(r.二级分类);
    issnEdit_->setText(r.issn);
    cnEdit_->setText(r.国内统一刊号);
    postCodeEdit_->setText(r.邮发代号);
    issueEdit_->setText(r.第几期);
    totalIssueEdit_->setText(r.总第几期);
    if (r.出版时间.isValid())
        publishDateEdit_->setDate(r.出版时间);
    priceEdit_->setText(r.价格);
    summaryEdit_->setPlainText(r.简介);
    quantityEdit_->setText(r.数量);
    statusCombo_->setCurrentText(r.状态);
}

IssueRecord TQkAddFm::record() const
{
    IssueRecord r;
    r.编号 = numberEdit_->text();
    r.名称 = titleEdit_->text();
    r.条形码 = barcodeEdit_->text();
    r.出版社 = publisherCombo_->currentText();
    r.物品级别 = levelCombo_->currentText();
    r.存放位置 = placeCombo_->currentText();
    r.分类 = categoryCombo_->currentText();
    r.二级分类 = secondCategoryCombo_->currentText();
    r.数量 = quantityEdit_->text();
    r.issn = issnEdit_->text();
    r.国内统一刊号 = cnEdit_->text();
    r.邮发代号 = postCodeEdit_->text();
    r.第几期 = issueEdit_->text();
    r.总第几期 = totalIssueEdit_->text();
    r.出版时间 = publishDateEdit_->date();
    r.价格 = priceEdit_->text();
    r.py = pinyinEdit_->text();
    r.简介 = summaryEdit_->toPlainText();
    r.状态 = statusCombo_->currentText();
    return r;
}

bool TQkAddFm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == barcodeEdit_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            copyEarlierIssue();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TQkAddFm::copyEarlierIssue()
{
    try {
        const auto issue = rules_.earliestIssue(barcodeEdit_->text());
        if (issue)
            setRecord(CatalogueItems::copyIssue(record(), *issue));
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TQkAddFm::save()
{
    const ItemResult r = rules_.addIssue(record());
    if (!r.ok) {
        Messenger::instance().error(this, r.message);
        return;
    }
    Messenger::instance().information(this, r.message);
    if (clearAfterSaveCheck_->isChecked())
        InitialData();
}
