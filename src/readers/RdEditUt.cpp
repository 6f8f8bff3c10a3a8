#include "RdEditUt.h"

#include "ReaderFormParts.h"
#include "data/Database.h"
#include "widgets/Messenger.h"
#include "widgets/ResultMessages.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// A 登记日期 that the row does not hold shows as blank at the lowest date.
const QDateTime kNoDate(QDate(1900, 1, 1), QTime(0, 0));
} // namespace

TRdEditFm::TRdEditFm(const QString& readerNumber, QWidget* parent)
    : QWidget(parent), rules_(Database::shared())
{
    setObjectName(QStringLiteral("TRdEditFm"));
    setWindowTitle(QStringLiteral("读者编辑"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    ReaderFormParts parts(this, grid);
    numberEdit_ = parts.line(0, 0, QStringLiteral("编号"), "readerNumberEdit", true);
    nameEdit_ = parts.line(0, 1, QStringLiteral("姓名"), "readerNameEdit", true);
    genderBox_ = parts.choice(1, 0, QStringLiteral("性别"), "genderBox");
    categoryBox_ = parts.choice(1, 1, QStringLiteral("类别"), "categoryBox", true);
    phoneEdit_ = parts.line(2, 0, QStringLiteral("联系电话"), "phoneEdit");
    classEdit_ = parts.line(2, 1, QStringLiteral("班级"), "classEdit");
    classLabel_ = parts.lastLabel();
    facultyEdit_ = parts.line(3, 0, QStringLiteral("院系"), "facultyEdit");
    facultyLabel_ = parts.lastLabel();
    addressEdit_ = parts.line(3, 1, QStringLiteral("住址"), "addressEdit");
    departmentBox_ = parts.choice(4, 0, QStringLiteral("部门"), "departmentBox");
    loanCountEdit_ = parts.line(4, 1, QStringLiteral("借阅次数"), "loanCountEdit", false, true);
    registeredEdit_ = new QDateTimeEdit(this);
    registeredEdit_->setObjectName(QStringLiteral("registeredEdit"));
    registeredEdit_->setDisplayFormat(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    registeredEdit_->setMinimumDateTime(kNoDate);
    registeredEdit_->setSpecialValueText(QStringLiteral(" "));
    registeredEdit_->setAccessibleName(QStringLiteral("登记日期"));
    auto* registeredLabel = new QLabel(QStringLiteral("登记日期"), this);
    registeredLabel->setBuddy(registeredEdit_);
    grid->addWidget(registeredLabel, 5, 0);
    grid->addWidget(registeredEdit_, 5, 1);
    statusEdit_ = parts.line(5, 1, QStringLiteral("状态"), "statusEdit", false, true);
    paperKindBox_ = parts.choice(6, 0, QStringLiteral("有效证件"), "paperKindBox");
    paperNumberEdit_ = parts.line(6, 1, QStringLiteral("证件号码"), "paperNumberEdit");
    balanceEdit_ = parts.line(7, 0, QStringLiteral("卡内金额"), "balanceEdit", false, true);
    validUntilEdit_ = parts.date(7, 1, QStringLiteral("有效期"), "validUntilEdit");
    pinyinEdit_ = parts.line(8, 0, QStringLiteral("拼音"), "pinyinEdit", false, true);
    remarkEdit_ = parts.text(9, 0, QStringLiteral("备注"), "remarkEdit");
    grid->addWidget(remarkEdit_, 9, 1, 1, 3);
    layout->addLayout(grid);

    auto* bar = new QHBoxLayout;
    saveButton_ = ReaderFormParts::button(this, QStringLiteral("保存"), "saveButton");
    cancelButton_ = ReaderFormParts::button(this, QStringLiteral("取消"), "cancelButton");
    bar->addStretch();
    bar->addWidget(saveButton_);
    bar->addWidget(cancelButton_);
    layout->addLayout(bar);

    ReaderFormParts::showOptional(rules_, classEdit_, classLabel_, facultyEdit_, facultyLabel_);
    ReaderFormParts::fill(rules_, genderBox_, categoryBox_, departmentBox_, paperKindBox_, this);

    try {
        loaded_ = rules_.load(readerNumber);
        if (!loaded_)
            Messenger::instance().information(this, ReaderText::gone(readerNumber));
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
    if (loaded_)
        showRecord(*loaded_);
    saveButton_->setEnabled(loaded_.has_value());

    connect(nameEdit_, &QLineEdit::textChanged, this,
            [this](const QString& name) { pinyinEdit_->setText(ReaderRules::pinyin(name)); });
    connect(saveButton_, &QPushButton::clicked, this, &TRdEditFm::saveClick);
    connect(cancelButton_, &QPushButton::clicked, this, &QWidget::close);
}

void TRdEditFm::showRecord(const ReaderRecord& r)
{
    numberEdit_->setText(r.fields.number);
    nameEdit_->setText(r.fields.name);
    pinyinEdit_->setText(r.pinyin); // as stored, until the name is changed
    genderBox_->setCurrentText(r.fields.gender);
    categoryBox_->setCurrentText(r.fields.category);
    phoneEdit_->setText(r.fields.phone);
    classEdit_->setText(r.fields.className);
    facultyEdit_->setText(r.fields.faculty);
    addressEdit_->setText(r.fields.address);
    remarkEdit_->setPlainText(r.fields.remark);
    departmentBox_->setCurrentText(r.fields.department);
    loanCountEdit_->setText(QString::number(r.loans));
    registeredEdit_->setDateTime(r.registeredAt.isValid() ? r.registeredAt : kNoDate);
    statusEdit_->setText(r.status);
    paperKindBox_->setCurrentText(r.fields.paperKind);
    paperNumberEdit_->setText(r.fields.paperNumber);
    balanceEdit_->setText(r.balance.toString());
    validUntilEdit_->setDate(r.fields.validUntil.isValid() ? r.fields.validUntil
                                                           : ReaderRules::noExpiry());
}

ReaderFields TRdEditFm::fields() const
{
    ReaderFields f = ReaderFormParts::gather(
        {numberEdit_, nameEdit_, genderBox_, categoryBox_, paperKindBox_, paperNumberEdit_,
         phoneEdit_, validUntilEdit_, departmentBox_, addressEdit_, remarkEdit_},
        classEdit_->text(), facultyEdit_->text());
    // A stored date the picker cannot show (before its first day) shows as that first day;
    // left there, it is the stored date, unchanged.
    if (loaded_ && loaded_->fields.validUntil.isValid() &&
        loaded_->fields.validUntil < validUntilEdit_->minimumDate() &&
        f.validUntil == validUntilEdit_->minimumDate())
        f.validUntil = loaded_->fields.validUntil;
    return f;
}

QDateTime TRdEditFm::registeredAt() const
{
    const QDateTime shown = registeredEdit_->dateTime();
    // Blank stands for no date and for a date on or before the picker's first moment: left
    // blank, the row keeps what it holds.
    if (shown == kNoDate)
        return loaded_ && loaded_->registeredAt.isValid() && loaded_->registeredAt <= kNoDate
                   ? loaded_->registeredAt
                   : QDateTime();
    // The seconds the row holds stay when the operator changed nothing.
    if (loaded_ && loaded_->registeredAt.isValid() &&
        shown.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) ==
            loaded_->registeredAt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))
        return loaded_->registeredAt;
    return shown;
}

void TRdEditFm::saveClick()
{
    if (!loaded_)
        return;
    const ReaderFields f = fields();
    const RuleResult result = rules_.saveEdit(*loaded_, f, registeredAt());
    showResult(this, result);
    if (!result.done())
        return;
    emit saved(f.number.trimmed());
    close();
}
