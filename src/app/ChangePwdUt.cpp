#include "ChangePwdUt.h"

#include "FormHelpers.h"
#include "data/Database.h"
#include "data/LoginState.h"
#include "widgets/Messenger.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace FormHelpers;

namespace {
QLineEdit* maskedEdit(QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setEchoMode(QLineEdit::Password);
    // The mask glyph of a password input is a style property.
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    return edit;
}
} // namespace

TChangePwdFm::TChangePwdFm(QWidget* parent) : QWidget(parent), rules_(Database::shared())
{
    setObjectName(QStringLiteral("TChangePwdFm"));
    setWindowTitle(QStringLiteral("修改密码"));

    operatorLabel_ = new QLabel(LoginState::instance().OperatorName, this);
    name(operatorLabel_, "operatorLabel", QStringLiteral("管理员:"));
    oldEdit_ = maskedEdit(this);
    newEdit_ = maskedEdit(this);
    confirmEdit_ = maskedEdit(this);

    auto* form = new QFormLayout;
    form->addRow(new QLabel(QStringLiteral("管理员:"), this), operatorLabel_);
    form->addRow(buddyLabel(QStringLiteral("旧密码:"), oldEdit_, "oldEdit", this), oldEdit_);
    form->addRow(buddyLabel(QStringLiteral("新密码:"), newEdit_, "newEdit", this), newEdit_);
    form->addRow(buddyLabel(QStringLiteral("确认新密码:"), confirmEdit_, "confirmEdit", this),
                 confirmEdit_);

    saveButton_ = new QPushButton(QStringLiteral("保存"), this);
    name(saveButton_, "saveButton", saveButton_->text());
    closeButton_ = new QPushButton(QStringLiteral("关闭"), this);
    name(closeButton_, "closeButton", closeButton_->text());
    connect(saveButton_, &QPushButton::clicked, this, &TChangePwdFm::saveClick);
    connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
    // Enter moves on to the next input, so that Enter after the old password cannot store an
    // empty new one; only Enter in the confirmation presses "保存".
    connect(oldEdit_, &QLineEdit::returnPressed, newEdit_, qOverload<>(&QWidget::setFocus));
    connect(newEdit_, &QLineEdit::returnPressed, confirmEdit_, qOverload<>(&QWidget::setFocus));
    connect(confirmEdit_, &QLineEdit::returnPressed, saveButton_, &QPushButton::click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton_);
    buttons->addWidget(closeButton_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->addLayout(form);
    layout->addLayout(buttons);
    resize(320, 200);
}

void TChangePwdFm::saveClick()
{
    Messenger& m = Messenger::instance();
    try {
        const AdminRules::PasswordChange result =
            rules_.changePassword(LoginState::instance().OperatorName, oldEdit_->text(),
                                  newEdit_->text(), confirmEdit_->text());
        m.information(this, AdminRules::message(result));
        switch (result) {
        case AdminRules::PasswordChange::Changed:
            close();
            break;
        case AdminRules::PasswordChange::WrongOldPassword:
            oldEdit_->setFocus();
            oldEdit_->selectAll();
            break;
        case AdminRules::PasswordChange::Mismatch:
            confirmEdit_->setFocus();
            confirmEdit_->selectAll();
            break;
        }
    } catch (const DbError& e) {
        m.error(this, e.message());
    }
}
