#include "SetDataUt.h"

#include "FormHelpers.h"
#include "LoginRules.h"
#include "data/LoginState.h"
#include "widgets/Messenger.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace FormHelpers;

namespace {
const QString kRestart = QStringLiteral("软件重启后生效!");

QPushButton* button(const QString& caption, const char* objectName, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    name(b, objectName, caption);
    b->setAutoDefault(false);
    return b;
}
} // namespace

TSetDataFm::TSetDataFm(QWidget* parent) : QDialog(parent)
{
    const LoginState& state = LoginState::instance();
    rules_ = std::make_unique<SetDataRules>(SettingsFile(LoginRules::settingsFilePath(state)),
                                            state.DbKind);
    setObjectName(QStringLiteral("TSetDataFm"));
    setWindowTitle(QStringLiteral("数据库设置"));

    auto* choiceGroup = new QGroupBox(QStringLiteral("请选择"), this);
    choiceGroup->setObjectName(QStringLiteral("choiceGroup"));
    accessRadio_ =
        new QRadioButton(QStringLiteral("Access  (选择本地access数据库可以直接保存)"), choiceGroup);
    name(accessRadio_, "accessRadio", accessRadio_->text());
    serverRadio_ =
        new QRadioButton(QStringLiteral("PostgreSQL (只有测试连接成功才能保存)"), choiceGroup);
    name(serverRadio_, "serverRadio", serverRadio_->text());
    auto* choices = new QButtonGroup(this);
    choices->addButton(accessRadio_);
    choices->addButton(serverRadio_);
    auto* choiceLayout = new QVBoxLayout(choiceGroup);
    choiceLayout->addWidget(accessRadio_);
    choiceLayout->addWidget(serverRadio_);

    serverGroup_ = new QGroupBox(QStringLiteral("PostgreSQL"), this);
    serverGroup_->setObjectName(QStringLiteral("serverGroup"));
    serverBox_ = new QComboBox(serverGroup_);
    serverBox_->setEditable(true);
    serverBox_->setInsertPolicy(QComboBox::NoInsert);
    databaseEdit_ = new QLineEdit(serverGroup_);
    userEdit_ = new QLineEdit(serverGroup_);
    passwordEdit_ = new QLineEdit(serverGroup_);
    passwordEdit_->setEchoMode(QLineEdit::Password);
    passwordEdit_->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    providerBox_ = new QComboBox(serverGroup_);
    providerBox_->addItems(SetDataRules::providers());
    testButton_ = button(QStringLiteral("测试"), "testButton", serverGroup_);

    auto* form = new QFormLayout(serverGroup_);
    const struct
    {
        const char* caption;
        QWidget* input;
        const char* objectName;
    } rows[] = {
        {"服务器名/ip地址:", serverBox_, "serverBox"},
        {"数据库名:", databaseEdit_, "databaseEdit"},
        {"用户名:", userEdit_, "userEdit"},
        {"密码:", passwordEdit_, "passwordEdit"},
        {"提供程序:", providerBox_, "providerBox"},
    };
    for (const auto& r : rows)
        form->addRow(buddyLabel(QString::fromUtf8(r.caption), r.input, r.objectName, serverGroup_),
                     r.input);
    auto* testRow = new QHBoxLayout;
    testRow->addStretch();
    testRow->addWidget(testButton_);
    form->addRow(testRow);

    saveButton_ = button(QStringLiteral("保存"), "saveButton", this);
    saveButton_->setEnabled(false);
    exitButton_ = button(QStringLiteral("退出"), "exitButton", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton_);
    buttons->addWidget(exitButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(choiceGroup);
    layout->addWidget(serverGroup_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // What de.ini holds; the server list stays as typed (no network browsing here).
    const SetDataRules::ServerInputs stored = rules_->storedInputs();
    serverBox_->setEditText(stored.server);
    databaseEdit_->setText(stored.database);
    userEdit_->setText(stored.user);
    passwordEdit_->setText(stored.password);
    providerBox_->setCurrentText(stored.provider);
    switch (rules_->initialChoice()) {
    case SetDataRules::Choice::Access:
        accessRadio_->setChecked(true);
        break;
    case SetDataRules::Choice::Server:
        serverRadio_->setChecked(true);
        break;
    case SetDataRules::Choice::None:
        break;
    }
    choiceChanged();

    connect(accessRadio_, &QRadioButton::toggled, this, &TSetDataFm::choiceChanged);
    connect(serverRadio_, &QRadioButton::toggled, this, &TSetDataFm::choiceChanged);
    connect(serverBox_, &QComboBox::editTextChanged, this, &TSetDataFm::inputChanged);
    connect(providerBox_, &QComboBox::currentTextChanged, this, &TSetDataFm::inputChanged);
    for (QLineEdit* e : {databaseEdit_, userEdit_, passwordEdit_})
        connect(e, &QLineEdit::textChanged, this, &TSetDataFm::inputChanged);
    connect(testButton_, &QPushButton::clicked, this, &TSetDataFm::testClicked);
    connect(saveButton_, &QPushButton::clicked, this, &TSetDataFm::saveClicked);
    connect(exitButton_, &QPushButton::clicked, this, &TSetDataFm::exitClicked);
}

TSetDataFm::~TSetDataFm() = default;

SetDataRules::Choice TSetDataFm::choice() const
{
    if (accessRadio_->isChecked())
        return SetDataRules::Choice::Access;
    if (serverRadio_->isChecked())
        return SetDataRules::Choice::Server;
    return SetDataRules::Choice::None;
}

SetDataRules::ServerInputs TSetDataFm::inputs() const
{
    return {serverBox_->currentText(), databaseEdit_->text(), userEdit_->text(),
            passwordEdit_->text(), providerBox_->currentText()};
}

void TSetDataFm::choiceChanged()
{
    const bool access = choice() == SetDataRules::Choice::Access;
    // With no choice yet the server group stays visible, as the screen was designed.
    serverGroup_->setVisible(!access);
    serverGroup_->setEnabled(!access);
    updateSaveButton();
}

void TSetDataFm::inputChanged()
{
    rules_->inputsChanged();
    updateSaveButton();
}

void TSetDataFm::updateSaveButton()
{
    saveButton_->setEnabled(choice() == SetDataRules::Choice::Access || rules_->hasValidTest());
}

void TSetDataFm::testClicked()
{
    const SetDataRules::ServerInputs in = inputs();
    Messenger::instance().information(this, SetDataRules::connectionString(in));
    QString error;
    if (rules_->test(in, &error))
        Messenger::instance().information(this, QStringLiteral("连接成功!"));
    else
        Messenger::instance().error(this, QStringLiteral("连接失败"));
    updateSaveButton();
}

void TSetDataFm::saveClicked()
{
    QString error;
    if (!rules_->save(choice(), inputs(), &error)) {
        Messenger::instance().error(this, error);
        return;
    }
    Messenger::instance().information(this, kRestart);
    close();
}

void TSetDataFm::exitClicked()
{
    Messenger::instance().information(this, kRestart);
    close();
}
