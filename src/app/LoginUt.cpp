#include "LoginUt.h"

#include "FormHelpers.h"
#include "LoginRules.h"
#include "widgets/Messenger.h"
#include "widgets/ScreenRegistry.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QVBoxLayout>

using namespace FormHelpers;

TLoginFm::TLoginFm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TLoginFm"));
    setWindowTitle(QStringLiteral("系统登录"));
    setAccessibleName(QStringLiteral("系统登录"));

    heading_ = new QLabel(LoginState::instance().softname, this);
    heading_->setObjectName(QStringLiteral("headingLabel"));
    heading_->setAlignment(Qt::AlignCenter);
    QFont big = heading_->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    heading_->setFont(big);

    nameBox_ = new QComboBox(this);
    nameBox_->setEditable(true);
    nameBox_->setInsertPolicy(QComboBox::NoInsert);
    nameBox_->setMinimumWidth(200);
    passwordEdit_ = new QLineEdit(this);
    passwordEdit_->setEchoMode(QLineEdit::Password);
    // The mask glyph of a password input is a style property.
    passwordEdit_->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));

    auto* form = new QFormLayout;
    form->addRow(buddyLabel(QStringLiteral("用户名(&U):"), nameBox_, "operatorNameBox", this),
                 nameBox_);
    form->addRow(buddyLabel(QStringLiteral("密  码(&P):"), passwordEdit_, "passwordEdit", this),
                 passwordEdit_);

    okButton_ = new QPushButton(QStringLiteral("确定"), this);
    name(okButton_, "okButton", okButton_->text());
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton(QStringLiteral("取消"), this);
    name(cancelButton_, "cancelButton", cancelButton_->text());
    cancelButton_->setAutoDefault(false);
    connect(okButton_, &QPushButton::clicked, this, &TLoginFm::okClicked);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(14);
    layout->addWidget(heading_);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

void TLoginFm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Prepared once the window is on screen, so that the messages of a failed connection
    // and the database settings screen come in front of it.
    if (!prepared_) {
        prepared_ = true;
        QMetaObject::invokeMethod(this, &TLoginFm::prepare, Qt::QueuedConnection);
    }
}

bool TLoginFm::prepare()
{
    prepared_ = true;
    const LoginState& state = LoginState::instance();
    QString error;
    if (!LoginRules::openConnection(Database::shared(), state, &error)) {
        // A provider other than PostgreSQL gets its own message, which says what to do, in
        // place of the general advice; a kind the program does not know is named before it.
        if (LoginRules::refusesProvider(state)) {
            Messenger::instance().error(this, error);
        } else {
            if (state.DbKind != QLatin1String("a") && state.DbKind != QLatin1String("s"))
                Messenger::instance().error(this, error);
            Messenger::instance().information(this, QStringLiteral("数据库连接失败,请选择数据库."));
        }
        ScreenRegistry::instance().open(Command::DatabaseSettings, this);
        return false;
    }
    fillOperators();
    try {
        const QString duplicates =
            LoginRules(Database::shared(), LoginState::instance()).duplicateOperatorsMessage();
        if (!duplicates.isEmpty())
            Messenger::instance().information(this, duplicates);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
    return true;
}

void TLoginFm::fillOperators()
{
    const LoginRules rules(Database::shared(), LoginState::instance());
    try {
        const QStringList names = rules.operatorNames();
        nameBox_->clear();
        nameBox_->addItems(names);
        nameBox_->setEditText(names.value(0));
        passwordEdit_->setText(rules.superAdministratorHasDefaultPassword()
                                   ? QString::fromLatin1(kDefaultPassword)
                                   : QString());
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TLoginFm::okClicked()
{
    const LoginRules rules(Database::shared(), LoginState::instance());
    try {
        if (!rules.login(nameBox_->currentText(), passwordEdit_->text())) {
            Messenger::instance().information(this, QStringLiteral("密码不正确!"));
            passwordEdit_->setFocus();
            passwordEdit_->selectAll();
            return;
        }
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
        return;
    }
    accept();
}
