#include "RdAddUt.h"

#include "ReaderFormParts.h"
#include "data/Database.h"
#include "widgets/ResultMessages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TRdAddFm::TRdAddFm(QWidget* parent) : QWidget(parent), rules_(Database::shared())
{
    setObjectName(QStringLiteral("TRdAddFm"));
    setWindowTitle(QStringLiteral("读者添加"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    ReaderFormParts parts(this, grid);
    readerNumberEdit_ = parts.line(0, 0, QStringLiteral("读者编号"), "readerNumberEdit", true);
    readerNameEdit_ = parts.line(0, 1, QStringLiteral("读者姓名"), "readerNameEdit", true);
    genderBox_ = parts.choice(1, 0, QStringLiteral("性别"), "genderBox");
    categoryBox_ = parts.choice(1, 1, QStringLiteral("类别"), "categoryBox", true);
    validUntilEdit_ = parts.date(2, 0, QStringLiteral("有效期"), "validUntilEdit");
    classBox_ = parts.choice(2, 1, QStringLiteral("班级"), "classBox");
    classLabel_ = parts.lastLabel();
    addressEdit_ = parts.line(3, 0, QStringLiteral("住址"), "addressEdit");
    departmentBox_ = parts.choice(3, 1, QStringLiteral("部门"), "departmentBox");
    phoneEdit_ = parts.line(4, 0, QStringLiteral("联系电话"), "phoneEdit");
    paperKindBox_ = parts.choice(4, 1, QStringLiteral("有效证件"), "paperKindBox");
    paperNumberEdit_ = parts.line(5, 0, QStringLiteral("证件号码"), "paperNumberEdit");
    pinyinEdit_ = parts.line(5, 1, QStringLiteral("拼音"), "pinyinEdit", false, true);
    facultyBox_ = parts.choice(6, 0, QStringLiteral("院系"), "facultyBox");
    facultyLabel_ = parts.lastLabel();
    remarkEdit_ = parts.text(7, 0, QStringLiteral("备注"), "remarkEdit");
    grid->addWidget(remarkEdit_, 7, 1, 1, 3);
    layout->addLayout(grid);

    auto* bar = new QHBoxLayout;
    clearAfterSaveCheck_ = new QCheckBox(QStringLiteral("保存后清空数据"), this);
    clearAfterSaveCheck_->setObjectName(QStringLiteral("clearAfterSaveCheck"));
    clearAfterSaveCheck_->setAccessibleName(clearAfterSaveCheck_->text());
    clearAfterSaveCheck_->setChecked(true);
    saveButton_ = ReaderFormParts::button(this, QStringLiteral("保存"), "saveButton");
    closeButton_ = ReaderFormParts::button(this, QStringLiteral("返回"), "closeButton");
    bar->addWidget(clearAfterSaveCheck_);
    bar->addStretch();
    bar->addWidget(saveButton_);
    bar->addWidget(closeButton_);
    layout->addLayout(bar);

    ReaderFormParts::showOptional(rules_, classBox_, classLabel_, facultyBox_, facultyLabel_);
    ReaderFormParts::fill(rules_, genderBox_, categoryBox_, departmentBox_, paperKindBox_, this);

    connect(readerNameEdit_, &QLineEdit::textChanged, this,
            [this](const QString& name) { pinyinEdit_->setText(ReaderRules::pinyin(name)); });
    connect(saveButton_, &QPushButton::clicked, this, &TRdAddFm::Button1Click);
    connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
    InitialData();
}

ReaderFields TRdAddFm::fields() const
{
    return ReaderFormParts::gather({readerNumberEdit_, readerNameEdit_, genderBox_, categoryBox_,
                                    paperKindBox_, paperNumberEdit_, phoneEdit_, validUntilEdit_,
                                    departmentBox_, addressEdit_, remarkEdit_},
                                   classBox_->currentText(), facultyBox_->currentText());
}

void TRdAddFm::InitialData()
{
    const ReaderFields d = ReaderRules::defaults();
    readerNumberEdit_->setText(d.number);
    readerNameEdit_->setText(d.name);
    pinyinEdit_->setText(ReaderRules::pinyin(d.name));
    genderBox_->setCurrentText(d.gender);
    categoryBox_->setCurrentText(d.category);
    validUntilEdit_->setDate(d.validUntil);
    classBox_->setCurrentText(d.className);
    addressEdit_->setText(d.address);
    remarkEdit_->setPlainText(d.remark);
    departmentBox_->setCurrentText(d.department);
    phoneEdit_->setText(d.phone);
    paperKindBox_->setCurrentText(d.paperKind);
    paperNumberEdit_->setText(d.paperNumber);
    facultyBox_->setCurrentText(d.faculty);
    readerNumberEdit_->setFocus();
}

void TRdAddFm::Button1Click()
{
    const ReaderFields f = fields();
    const RuleResult result = rules_.registerReader(f);
    showResult(this, result);
    if (!result.done())
        return;
    emit saved(f.number.trimmed());
    if (clearAfterSaveCheck_->isChecked())
        InitialData();
}
