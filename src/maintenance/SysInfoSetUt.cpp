#include "SysInfoSetUt.h"

#include "data/Database.h"
#include "data/LoginState.h"
#include "widgets/Messenger.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
QLineEdit* lineEdit(QWidget* parent, const QString& caption, const char* objectName)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(objectName));
    e->setAccessibleName(caption);
    return e;
}

template <class Button>
Button* captioned(QWidget* parent, const QString& caption, const char* objectName)
{
    auto* b = new Button(caption, parent);
    b->setObjectName(QString::fromLatin1(objectName));
    b->setAccessibleName(caption);
    return b;
}

// Clears every button of a group of choices, which an exclusive group does not allow.
void clearChoice(const QList<QRadioButton*>& buttons)
{
    for (QRadioButton* b : buttons) {
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(true);
    }
}

QString settingsPath()
{
    return QDir(LoginState::instance().programDir).absoluteFilePath(QStringLiteral("de.ini"));
}
} // namespace

TSysInfoSetFm::TSysInfoSetFm(QWidget* parent) : QWidget(parent), rules_(Database::shared())
{
    setObjectName(QStringLiteral("TSysInfoSetFm"));
    setWindowTitle(SysInfoText::Caption);

    auto* layout = new QVBoxLayout(this);

    auto* fields = new QGridLayout;
    struct Field
    {
        const char* caption;
        const char* objectName;
        QLineEdit** edit;
    };
    const Field inputs[] = {
        {"图书馆名", "nameEdit", &name_},    {"地址", "addressEdit", &address_},
        {"电话", "phoneEdit", &phone_},      {"负责人", "headEdit", &head_},
        {"超期日罚金", "fineEdit", &fine_},  {"押金倍数", "depositEdit", &deposit_},
        {"开户费", "openingFeeEdit", &fee_},
    };
    int at = 0;
    for (const Field& f : inputs) {
        const QString caption = QString::fromUtf8(f.caption);
        *f.edit = lineEdit(this, caption, f.objectName);
        auto* label = new QLabel(caption, this);
        label->setBuddy(*f.edit);
        fields->addWidget(label, at / 2, (at % 2) * 2);
        fields->addWidget(*f.edit, at / 2, (at % 2) * 2 + 1);
        ++at;
    }
    layout->addLayout(fields);

    auto* focus = new QHBoxLayout;
    auto* returnGroup = new QGroupBox(QStringLiteral("归还焦点"), this);
    returnGroup->setObjectName(QStringLiteral("returnFocusGroup"));
    auto* returnLayout = new QHBoxLayout(returnGroup);
    returnBook_ =
        captioned<QRadioButton>(returnGroup, QStringLiteral("图书编号"), "returnBookRadio");
    returnReader_ =
        captioned<QRadioButton>(returnGroup, QStringLiteral("读者编号"), "returnReaderRadio");
    returnBarcode_ =
        captioned<QRadioButton>(returnGroup, QStringLiteral("条形码"), "returnBarcodeRadio");
    for (QRadioButton* b : {returnBook_, returnReader_, returnBarcode_})
        returnLayout->addWidget(b);
    auto* lendGroup = new QGroupBox(QStringLiteral("借阅焦点"), this);
    lendGroup->setObjectName(QStringLiteral("lendFocusGroup"));
    auto* lendLayout = new QHBoxLayout(lendGroup);
    lendNumber_ = captioned<QRadioButton>(lendGroup, QStringLiteral("编号"), "lendNumberRadio");
    lendBarcode_ = captioned<QRadioButton>(lendGroup, QStringLiteral("条形码"), "lendBarcodeRadio");
    lendLayout->addWidget(lendNumber_);
    lendLayout->addWidget(lendBarcode_);
    focus->addWidget(returnGroup);
    focus->addWidget(lendGroup);
    layout->addLayout(focus);

    auto* ticks = new QGridLayout;
    struct Tick
    {
        const char* caption;
        const char* objectName;
        QCheckBox** box;
    };
    const Tick boxes[] = {
        {"借出时打印清单", "printListCheck", &printList_},
        {"借阅数量限制功能", "limitCheck", &limit_},
        {"启用超期罚金", "fineCheck", &fineOn_},
        {"启用读者租金", "readerRentCheck", &readerRent_},
        {"启用读者有效期", "validityCheck", &validity_},
        {"启用租金功能", "rentCheck", &rentOn_},
        {"显示院系", "facultyCheck", &faculty_},
        {"显示班级", "classCheck", &classes_},
        {"启用预定功能", "reservationCheck", &reservations_},
    };
    at = 0;
    for (const Tick& t : boxes) {
        *t.box = captioned<QCheckBox>(this, QString::fromUtf8(t.caption), t.objectName);
        ticks->addWidget(*t.box, at / 3, at % 3);
        ++at;
    }
    layout->addLayout(ticks);

    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("pages"));
    cardText_ = new QPlainTextEdit(pages_);
    cardText_->setObjectName(QStringLiteral("cardTextEdit"));
    cardText_->setAccessibleName(QStringLiteral("借阅证背面文字"));
    webNotice_ = new QPlainTextEdit(pages_);
    webNotice_->setObjectName(QStringLiteral("webNoticeEdit"));
    webNotice_->setAccessibleName(QStringLiteral("网站公告"));
    pages_->addTab(cardText_, QStringLiteral("借阅证背面文字"));
    pages_->addTab(webNotice_, QStringLiteral("网站公告"));
    noticeText_ = new QPlainTextEdit(pages_);
    noticeText_->setObjectName(QStringLiteral("noticeTextEdit"));
    noticeText_->setAccessibleName(QStringLiteral("催还通知文字"));
    pages_->addTab(noticeText_, QStringLiteral("催还通知文字"));
    layout->addWidget(pages_, 1);

    bcCc_ =
        captioned<QCheckBox>(this, QStringLiteral("图书录入时-条码重复提示"), "barcodeHintCheck");
    layout->addWidget(bcCc_);

    saveButton_ = captioned<QPushButton>(this, QStringLiteral("保存"), "saveButton");
    cancelButton_ = captioned<QPushButton>(this, QStringLiteral("取消"), "cancelButton");
    saveButton_->setAutoDefault(false);
    cancelButton_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton_);
    buttons->addWidget(cancelButton_);
    layout->addLayout(buttons);

    connect(saveButton_, &QPushButton::clicked, this, &TSysInfoSetFm::saveClick);
    // Nothing is stored before "保存": cancelling leaves the row and de.ini as they were.
    connect(cancelButton_, &QPushButton::clicked, this, &QWidget::close);

    resize(620, 560);
    load();
}

QLineEdit* TSysInfoSetFm::edit(const QString& caption) const
{
    for (QLineEdit* e : {name_, address_, phone_, head_, fine_, deposit_, fee_})
        if (e->accessibleName() == caption)
            return e;
    return nullptr;
}

QCheckBox* TSysInfoSetFm::tick(const QString& caption) const
{
    for (QCheckBox* b : {printList_, limit_, fineOn_, readerRent_, validity_, rentOn_, faculty_,
                         classes_, reservations_, bcCc_})
        if (b->text() == caption)
            return b;
    return nullptr;
}

QRadioButton* TSysInfoSetFm::returnFocus(const QString& caption) const
{
    for (QRadioButton* b : {returnBook_, returnReader_, returnBarcode_})
        if (b->text() == caption)
            return b;
    return nullptr;
}

QRadioButton* TSysInfoSetFm::lendFocus(const QString& caption) const
{
    for (QRadioButton* b : {lendNumber_, lendBarcode_})
        if (b->text() == caption)
            return b;
    return nullptr;
}

void TSysInfoSetFm::load()
{
    try {
        showForm(rules_.load(LoginState::instance().BcCc));
    } catch (const DbError& e) {
        // The inputs are empty now: saving them would overwrite the stored row.
        saveButton_->setEnabled(false);
        Messenger::instance().error(this, e.message());
    }
}

void TSysInfoSetFm::showForm(const SysInfoSetRules::Form& f)
{
    using R = SysInfoSetRules;
    name_->setText(f.图书馆名);
    address_->setText(f.地址);
    phone_->setText(f.电话);
    head_->setText(f.负责人);
    fine_->setText(f.超期每日罚金);
    deposit_->setText(f.押金倍数);
    fee_->setText(f.开户费);
    clearChoice({returnBook_, returnReader_, returnBarcode_});
    if (f.returnFocus == R::ReturnFocus::BookNumber)
        returnBook_->setChecked(true);
    else if (f.returnFocus == R::ReturnFocus::ReaderNumber)
        returnReader_->setChecked(true);
    else if (f.returnFocus == R::ReturnFocus::Barcode)
        returnBarcode_->setChecked(true);
    clearChoice({lendNumber_, lendBarcode_});
    if (f.lendFocus == R::LendFocus::Number)
        lendNumber_->setChecked(true);
    else if (f.lendFocus == R::LendFocus::Barcode)
        lendBarcode_->setChecked(true);
    printList_->setChecked(f.借出时打印清单);
    limit_->setChecked(f.借阅数量限制功能);
    fineOn_->setChecked(f.启用超期罚金);
    readerRent_->setChecked(f.启用读者租金);
    validity_->setChecked(f.启用读者有效期);
    rentOn_->setChecked(f.启用租金功能);
    faculty_->setChecked(f.显示院系);
    classes_->setChecked(f.显示班级);
    reservations_->setChecked(f.启用预定功能);
    cardText_->setPlainText(f.借阅证背面文字);
    webNotice_->setPlainText(f.WebNotice);
    noticeText_->setPlainText(f.催还通知文字);
    bcCc_->setChecked(f.bcCc);
}

SysInfoSetRules::Form TSysInfoSetFm::form() const
{
    using R = SysInfoSetRules;
    R::Form f;
    f.图书馆名 = name_->text();
    f.地址 = address_->text();
    f.电话 = phone_->text();
    f.负责人 = head_->text();
    f.超期每日罚金 = fine_->text();
    f.押金倍数 = deposit_->text();
    f.开户费 = fee_->text();
    f.returnFocus = returnBook_->isChecked()      ? R::ReturnFocus::BookNumber
                    : returnReader_->isChecked()  ? R::ReturnFocus::ReaderNumber
                    : returnBarcode_->isChecked() ? R::ReturnFocus::Barcode
                                                  : R::ReturnFocus::None;
    f.lendFocus = lendNumber_->isChecked()    ? R::LendFocus::Number
                  : lendBarcode_->isChecked() ? R::LendFocus::Barcode
                                              : R::LendFocus::None;
    f.借出时打印清单 = printList_->isChecked();
    f.借阅数量限制功能 = limit_->isChecked();
    f.启用超期罚金 = fineOn_->isChecked();
    f.启用读者租金 = readerRent_->isChecked();
    f.启用读者有效期 = validity_->isChecked();
    f.启用租金功能 = rentOn_->isChecked();
    f.显示院系 = faculty_->isChecked();
    f.显示班级 = classes_->isChecked();
    f.启用预定功能 = reservations_->isChecked();
    f.借阅证背面文字 = cardText_->toPlainText();
    f.WebNotice = webNotice_->toPlainText();
    f.催还通知文字 = noticeText_->toPlainText();
    f.bcCc = bcCc_->isChecked();
    return f;
}

void TSysInfoSetFm::saveClick()
{
    using R = SysInfoSetRules;
    if (!saveButton_->isEnabled())
        return;
    const R::Outcome outcome = rules_.save(form(), settingsPath());
    Messenger& m = Messenger::instance();
    switch (outcome.kind) {
    case R::Outcome::Refused: {
        m.information(this, outcome.message);
        QLineEdit* input = outcome.field == R::Field::超期每日罚金 ? fine_
                           : outcome.field == R::Field::押金倍数   ? deposit_
                                                                   : fee_;
        input->setFocus();
        input->selectAll();
        return;
    }
    case R::Outcome::Failed:
        m.error(this, outcome.message);
        return;
    case R::Outcome::Saved:
        m.information(this, outcome.message);
        close();
        return;
    }
}
