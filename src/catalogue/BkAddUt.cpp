#include "BkAddUt.h"
#include "CopyCatalogueUt.h"
#include "MyNetTmUt.h"

#include "BookLabel.h"
#include "data/Clock.h"
#include "report/ReportPreview.h"
#include "widgets/Messenger.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

// A caption whose buddy carries the same text as its accessible name.
QLabel* caption(const QString& text, QWidget* buddy, bool bold = false)
{
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    buddy->setAccessibleName(text);
    if (bold) {
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
    }
    return label;
}

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

QRegularExpressionValidator* onlyChars(const char* pattern, QObject* parent)
{
    return new QRegularExpressionValidator(QRegularExpression(QString::fromLatin1(pattern)),
                                           parent);
}

void setList(QComboBox* box, const QStringList& items)
{
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(-1);
}

} // namespace

TBkAddFm::TBkAddFm(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("BkAddFm"));
    setWindowTitle(QStringLiteral("添加图书---字体加重的项必须填写"));

    bookNumberEdit_ = named(new QLineEdit, "bookNumberEdit");
    titleEdit_ = named(new QLineEdit, "titleEdit");
    barcodeEdit_ = named(new QLineEdit, "barcodeEdit");
    onlineLookupButton_ = named(new QPushButton(QStringLiteral("ok")), "onlineLookupButton");
    onlineLookupButton_->setAccessibleName(QStringLiteral("ok"));
    // The command that opens the online lookup is hidden in the standard layout.
    onlineLookupButton_->setVisible(false);
    connect(onlineLookupButton_, &QPushButton::clicked, this, &TBkAddFm::openOnlineLookup);
    copyCatalogueButton_ =
        named(new QPushButton(QStringLiteral("联机编目")), "copyCatalogueButton");
    copyCatalogueButton_->setAccessibleName(copyCatalogueButton_->text());
    connect(copyCatalogueButton_, &QPushButton::clicked, this, &TBkAddFm::openCopyCatalogue);
    publisherCombo_ = editableList("publisherCombo");
    categoryCombo_ = editableList("categoryCombo");
    secondCategoryCombo_ = editableList("secondCategoryCombo");
    placeCombo_ = editableList("placeCombo");
    quantityEdit_ = named(new QLineEdit, "quantityEdit");
    quantityEdit_->setValidator(onlyChars("[0-9]*", this));
    authorEdit_ = named(new QLineEdit, "authorEdit");
    translatorEdit_ = named(new QLineEdit, "translatorEdit");
    priceEdit_ = named(new QLineEdit, "priceEdit");
    priceEdit_->setValidator(onlyChars("[0-9.]*", this));
    currencyCombo_ = editableList("currencyCombo");
    classNumberEdit_ = named(new QLineEdit, "classNumberEdit");
    callNumberEdit_ = named(new QLineEdit, "callNumberEdit");
    callNumberEdit_->setReadOnly(true);
    isbnEdit_ = named(new QLineEdit, "isbnEdit");
    publishDateEdit_ = named(new QDateEdit(Clock::today()), "publishDateEdit");
    publishDateEdit_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    publishDateEdit_->setCalendarPopup(true);
    secrecyCombo_ = editableList("secrecyCombo");
    attachmentCombo_ = editableList("attachmentCombo");
    editionEdit_ = named(new QLineEdit, "editionEdit");
    documentEdit_ = named(new QLineEdit, "documentEdit");
    pinyinEdit_ = named(new QLineEdit, "pinyinEdit");
    pinyinEdit_->setReadOnly(true);
    itemLevelCombo_ = editableList("itemLevelCombo");
    summaryEdit_ = named(new QPlainTextEdit, "summaryEdit");
    summaryEdit_->setTabChangesFocus(true);
    summaryEdit_->setMaximumHeight(80);
    pagesEdit_ = named(new QLineEdit, "pagesEdit");
    statusCombo_ = editableList("statusCombo");
    sourceCombo_ = editableList("sourceCombo");
    donorEdit_ = named(new QLineEdit, "donorEdit");
    zchEdit_ = named(new QLineEdit, "zchEdit");
    zchEdit_->setReadOnly(true);

    auto* fields = new QGridLayout;
    int row = 0;
    int col = 0;
    // Captions and fields in pairs, three pairs to a row, in tab order.
    auto add = [&](QLabel* label, QWidget* field) {
        fields->addWidget(label, row, col * 2);
        fields->addWidget(field, row, col * 2 + 1);
        if (++col == 3) {
            col = 0;
            ++row;
        }
    };
    auto* barcodeRow = new QWidget;
    auto* barcodeLayout = new QHBoxLayout(barcodeRow);
    barcodeLayout->setContentsMargins(0, 0, 0, 0);
    barcodeLayout->addWidget(barcodeEdit_);
    barcodeLayout->addWidget(onlineLookupButton_);
    barcodeLayout->addWidget(copyCatalogueButton_);

    add(caption(QStringLiteral("图书编号"), bookNumberEdit_, true), bookNumberEdit_);
    add(caption(QStringLiteral("书名"), titleEdit_, true), titleEdit_);
    add(caption(QStringLiteral("条形码"), barcodeEdit_, true), barcodeRow);
    add(caption(QStringLiteral("出版社"), publisherCombo_), publisherCombo_);
    add(caption(QStringLiteral("分类"), categoryCombo_), categoryCombo_);
    add(caption(QStringLiteral("二级分类"), secondCategoryCombo_), secondCategoryCombo_);
    add(caption(QStringLiteral("存放位置"), placeCombo_), placeCombo_);
    add(caption(QStringLiteral("数量"), quantityEdit_, true), quantityEdit_);
    add(caption(QStringLiteral("作者"), authorEdit_), authorEdit_);
    add(caption(QStringLiteral("译者"), translatorEdit_), translatorEdit_);
    add(caption(QStringLiteral("价格"), priceEdit_), priceEdit_);
    add(caption(QStringLiteral("币种"), currencyCombo_), currencyCombo_);
    add(caption(QStringLiteral("分类号"), classNumberEdit_), classNumberEdit_);
    add(caption(QStringLiteral("索书号"), callNumberEdit_), callNumberEdit_);
    add(caption(QStringLiteral("ISBN"), isbnEdit_), isbnEdit_);
    add(caption(QStringLiteral("出版时间"), publishDateEdit_), publishDateEdit_);
    add(caption(QStringLiteral("密级"), secrecyCombo_), secrecyCombo_);
    add(caption(QStringLiteral("附件"), attachmentCombo_), attachmentCombo_);
    add(caption(QStringLiteral("版次"), editionEdit_), editionEdit_);
    add(caption(QStringLiteral("电子文档"), documentEdit_), documentEdit_);
    add(caption(QStringLiteral("拼音"), pinyinEdit_), pinyinEdit_);
    add(caption(QStringLiteral("物品级别"), itemLevelCombo_), itemLevelCombo_);
    add(caption(QStringLiteral("页数"), pagesEdit_), pagesEdit_);
    add(caption(QStringLiteral("状态"), statusCombo_), statusCombo_);
    add(caption(QStringLiteral("来源"), sourceCombo_), sourceCombo_);
    donorLabel_ = caption(QStringLiteral("捐赠人"), donorEdit_);
    add(donorLabel_, donorEdit_);
    add(caption(QStringLiteral("种次号"), zchEdit_), zchEdit_);
    ++row;
    fields->addWidget(caption(QStringLiteral("简介"), summaryEdit_), row, 0);
    fields->addWidget(summaryEdit_, row, 1, 1, 5);

    saveButton_ = named(new QPushButton(QStringLiteral("保存")), "saveButton");
    closeButton_ = named(new QPushButton(QStringLiteral("返回")), "closeButton");
    clearAfterSaveCheck_ =
        named(new QCheckBox(QStringLiteral("保存后清空数据")), "clearAfterSaveCheck");
    clearAfterSaveCheck_->setChecked(true);
    printLabelCheck_ = named(new QCheckBox(QStringLiteral("打印标签")), "printLabelCheck");
    autoNumberCheck_ = named(new QCheckBox(QStringLiteral("自动编号")), "autoNumberCheck");
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
             saveButton_, closeButton_, clearAfterSaveCheck_, printLabelCheck_, autoNumberCheck_})
        b->setAccessibleName(b->text());

    autoNumberGroup_ = named(new QGroupBox(QStringLiteral("自动编号 ")), "autoNumberGroup");
    autoNumberGroup_->setAccessibleName(QStringLiteral("自动编号 "));
    prefixEdit_ = named(new QLineEdit(QStringLiteral("A")), "prefixEdit");
    startValueEdit_ = named(new QLineEdit(QStringLiteral("1")), "startValueEdit");
    startValueEdit_->setValidator(onlyChars("[0-9.]*", this));
    confirmNumberButton_ = named(new QPushButton(QStringLiteral("确定")), "confirmNumberButton");
    confirmNumberButton_->setAccessibleName(confirmNumberButton_->text());
    auto* groupLayout = new QHBoxLayout(autoNumberGroup_);
    groupLayout->addWidget(caption(QStringLiteral("前缀"), prefixEdit_));
    groupLayout->addWidget(prefixEdit_);
    groupLayout->addWidget(caption(QStringLiteral("起始值"), startValueEdit_));
    groupLayout->addWidget(startValueEdit_);
    groupLayout->addWidget(confirmNumberButton_);
    autoNumberGroup_->setVisible(false);

    auto* options = new QHBoxLayout;
    options->addWidget(clearAfterSaveCheck_);
    options->addWidget(printLabelCheck_);
    options->addWidget(autoNumberCheck_);
    options->addWidget(autoNumberGroup_);
    options->addStretch();
    options->addWidget(saveButton_);
    options->addWidget(closeButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(options);

    // Tab order of the fields as the form lists them.
    const QList<QWidget*> order{
        bookNumberEdit_,      titleEdit_,      barcodeEdit_,     publisherCombo_, categoryCombo_,
        secondCategoryCombo_, placeCombo_,     quantityEdit_,    authorEdit_,     translatorEdit_,
        priceEdit_,           currencyCombo_,  classNumberEdit_, callNumberEdit_, isbnEdit_,
        publishDateEdit_,     secrecyCombo_,   attachmentCombo_, editionEdit_,    documentEdit_,
        pinyinEdit_,          itemLevelCombo_, summaryEdit_,     pagesEdit_,      statusCombo_,
        sourceCombo_,         donorEdit_,      zchEdit_,         saveButton_,     closeButton_};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    bookNumberEdit_->installEventFilter(this);
    documentEdit_->installEventFilter(this);

    connect(titleEdit_, &QLineEdit::textChanged, this,
            [this](const QString& title) { pinyinEdit_->setText(BookEntry::pinyin(title)); });
    connect(barcodeEdit_, &QLineEdit::returnPressed, this, &TBkAddFm::barcodeEntered);
    connect(classNumberEdit_, &QLineEdit::returnPressed, this, &TBkAddFm::classNumberEntered);
    connect(sourceCombo_, &QComboBox::editTextChanged, this, &TBkAddFm::sourceChanged);
    connect(autoNumberCheck_, &QCheckBox::toggled, autoNumberGroup_, &QWidget::setVisible);
    connect(confirmNumberButton_, &QPushButton::clicked, this, &TBkAddFm::confirmNumbering);
    connect(saveButton_, &QPushButton::clicked, this, &TBkAddFm::save);
    connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);

    sourceChanged();
}

void TBkAddFm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    numbering_.restart();
    bookNumberEdit_->clear();
    loadLists();
    InitialData();
}

bool TBkAddFm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == bookNumberEdit_)
            bookNumberEdit_->selectAll();
        else if (watched == documentEdit_)
            chooseDocument();
    }
    return QWidget::eventFilter(watched, event);
}

void TBkAddFm::loadLists()
{
    BookEntryLists lists;
    try {
        lists = rules_.loadLists();
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
    setList(categoryCombo_, lists.分类);
    setList(secondCategoryCombo_, lists.二级分类);
    setList(publisherCombo_, lists.出版社);
    setList(placeCombo_, lists.存放位置);
    setList(currencyCombo_, lists.币种);
    setList(secrecyCombo_, lists.密级);
    setList(attachmentCombo_, lists.附件);
    setList(itemLevelCombo_, lists.物品级别);
    setList(statusCombo_, {QStringLiteral("正常"), QStringLiteral("不外借")});
    setList(sourceCombo_, {QStringLiteral("购买"), BookEntry::kDonation});
}

void TBkAddFm::InitialData()
{
    BookRecord r = BookEntry::initialRecord();
    r.编号 = bookNumberEdit_->text();
    r.出版时间 = publishDateEdit_->date();
    setRecord(r);
    bookNumberEdit_->setFocus();
}

void TBkAddFm::setRecord(const BookRecord& r)
{
    bookNumberEdit_->setText(r.编号);
    titleEdit_->setText(r.名称);
    barcodeEdit_->setText(r.条形码);
    callNumberEdit_->setText(r.索书号);
    classNumberEdit_->setText(r.分类号);
    zchEdit_->setText(r.zch);
    quantityEdit_->setText(r.数量);
    categoryCombo_->setEditText(r.分类);
    secondCategoryCombo_->setEditText(r.二级分类);
    publisherCombo_->setEditText(r.出版社);
    placeCombo_->setEditText(r.存放位置);
    itemLevelCombo_->setEditText(r.物品级别);
    priceEdit_->setText(r.价格);
    currencyCombo_->setEditText(r.币种);
    authorEdit_->setText(r.作者);
    translatorEdit_->setText(r.译者);
    if (r.出版时间.isValid())
        publishDateEdit_->setDate(r.出版时间);
    isbnEdit_->setText(r.isbn);
    secrecyCombo_->setEditText(r.密级);
    attachmentCombo_->setEditText(r.附件);
    editionEdit_->setText(r.版次);
    documentEdit_->setText(r.电子文档);
    pinyinEdit_->setText(r.py);
    pagesEdit_->setText(r.页数);
    summaryEdit_->setPlainText(r.简介);
    statusCombo_->setEditText(r.状态);
    sourceCombo_->setEditText(r.来源);
    donorEdit_->setText(r.捐赠人);
}

BookRecord TBkAddFm::record() const
{
    BookRecord r;
    r.编号 = bookNumberEdit_->text();
    r.名称 = titleEdit_->text();
    r.条形码 = barcodeEdit_->text();
    r.索书号 = callNumberEdit_->text();
    r.分类号 = classNumberEdit_->text();
    r.zch = zchEdit_->text();
    r.数量 = quantityEdit_->text();
    r.分类 = categoryCombo_->currentText();
    r.二级分类 = secondCategoryCombo_->currentText();
    r.出版社 = publisherCombo_->currentText();
    r.存放位置 = placeCombo_->currentText();
    r.物品级别 = itemLevelCombo_->currentText();
    r.价格 = priceEdit_->text();
    r.币种 = currencyCombo_->currentText();
    r.作者 = authorEdit_->text();
    r.译者 = translatorEdit_->text();
    r.出版时间 = publishDateEdit_->date();
    r.isbn = isbnEdit_->text();
    r.密级 = secrecyCombo_->currentText();
    r.附件 = attachmentCombo_->currentText();
    r.版次 = editionEdit_->text();
    r.电子文档 = documentEdit_->text();
    r.py = pinyinEdit_->text();
    r.页数 = pagesEdit_->text();
    r.简介 = summaryEdit_->toPlainText();
    r.来源 = sourceCombo_->currentText();
    r.捐赠人 = donorEdit_->text();
    r.状态 = statusCombo_->currentText();
    return r;
}

void TBkAddFm::BarCodeFindPub()
{
    try {
        if (const auto match = rules_.BarCodeFindPub(barcodeEdit_->text())) {
            isbnEdit_->setText(match->isbn);
            publisherCombo_->setEditText(match->出版社名);
        }
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TBkAddFm::barcodeEntered()
{
    BarCodeFindPub();
    try {
        if (const auto hint = rules_.duplicateBarcodeHint(barcodeEdit_->text()))
            Messenger::instance().information(this, *hint);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TBkAddFm::classNumberEntered()
{
    try {
        if (const auto n = rules_.callNumber(classNumberEdit_->text())) {
            callNumberEdit_->setText(n->索书号);
            zchEdit_->setText(n->zch);
        }
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TBkAddFm::sourceChanged()
{
    const bool donation = sourceCombo_->currentText().trimmed() == BookEntry::kDonation;
    donorLabel_->setVisible(donation);
    donorEdit_->setVisible(donation);
    if (!donation)
        donorEdit_->clear();
}

void TBkAddFm::chooseDocument()
{
    const QString path =
        Messenger::instance().openFileName(this, QStringLiteral("电子文档"), QString());
    if (!path.isEmpty())
        documentEdit_->setText(path);
}

void TBkAddFm::confirmNumbering()
{
    QString error;
    if (const auto number =
            numbering_.confirm(startValueEdit_->text(), prefixEdit_->text(), &error))
        bookNumberEdit_->setText(*number);
    else
        Messenger::instance().error(this, error);
}

void TBkAddFm::openOnlineLookup()
{
    if (!onlineLookup_)
        onlineLookup_ = new TMyNetTmFm(this);
    onlineLookup_->show();
    onlineLookup_->raise();
}

void TBkAddFm::openCopyCatalogue()
{
    if (!copyCatalogue_)
        copyCatalogue_ =
            new TCopyCatalogueFm([this](const MarcColumns& found) { setFromCopy(found); }, this);
    copyCatalogue_->show();
    copyCatalogue_->raise();
}

void TBkAddFm::setFromCopy(const MarcColumns& found)
{
    setRecord(CopyCatalogue::fill(record(), found));
}

void TBkAddFm::setFromLookup(const QString& title, const QString& classNumber,
                             const QString& author, const QString& publisher,
                             const QString& barcode, const QString& summary)
{
    titleEdit_->setText(title);
    classNumberEdit_->setText(classNumber);
    authorEdit_->setText(author);
    publisherCombo_->setEditText(publisher);
    barcodeEdit_->setText(barcode);
    summaryEdit_->setPlainText(summary);
}

void TBkAddFm::save()
{
    const BookEntry::SaveResult result = rules_.save(record());
    switch (result.status) {
    case BookEntry::SaveStatus::MissingField:
        Messenger::instance().beep();
        Messenger::instance().information(this, result.message);
        return;
    case BookEntry::SaveStatus::Refused:
        Messenger::instance().error(this, result.message);
        return;
    case BookEntry::SaveStatus::Saved:
        break;
    }
    if (printLabelCheck_->isChecked())
        showLabel();
    Messenger::instance().information(this, result.message);
    if (clearAfterSaveCheck_->isChecked())
        InitialData();
    if (autoNumberCheck_->isChecked())
        bookNumberEdit_->setText(numbering_.advance());
}

void TBkAddFm::showLabel()
{
    previewReport(this, BookLabel::prepare(record()));
}
