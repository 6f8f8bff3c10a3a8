#include "PosPrtSetUt.h"

#include "BkBorrowUt.h"
#include "DeskWidgets.h"
#include "PosPrinter.h"
#include "data/Clock.h"
#include "data/LoginState.h"
#include "data/SettingsFile.h"
#include "widgets/Messenger.h"
#include "widgets/ScreenRegistry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

TPosPrtSetFm::TPosPrtSetFm(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TPosPrtSetFm"));
    setWindowTitle(QStringLiteral("Pos打印机设置"));
    auto* layout = new QVBoxLayout(this);

    printAfterCheck_ = new QCheckBox(QStringLiteral("借出后打印小票"));
    printAfterCheck_->setObjectName(QStringLiteral("printAfterCheck"));
    printAfterCheck_->setAccessibleName(QStringLiteral("借出后打印小票"));
    layout->addWidget(printAfterCheck_);

    auto* portGroup = new QGroupBox(QStringLiteral("打印机端口选择"));
    auto* portLayout = new QHBoxLayout(portGroup);
    portCombo_ = new QComboBox;
    portCombo_->setEditable(true);
    portCombo_->setObjectName(QStringLiteral("portCombo"));
    portCombo_->setAccessibleName(QStringLiteral("打印机端口选择"));
    portLayout->addWidget(portCombo_);
    layout->addWidget(portGroup);

    auto* testGroup = new QGroupBox(QStringLiteral("打印测试内容:"));
    auto* testLayout = new QHBoxLayout(testGroup);
    testTextEdit_ = new QLineEdit(QStringLiteral("打印测试内容ABCD"));
    testTextEdit_->setObjectName(QStringLiteral("testTextEdit"));
    testTextEdit_->setAccessibleName(QStringLiteral("打印测试内容:"));
    testLayout->addWidget(testTextEdit_);
    layout->addWidget(testGroup);

    auto* buttons = new QHBoxLayout;
    applyButton_ = DeskWidgets::button(QStringLiteral("应用"), QStringLiteral("applyButton"));
    testButton_ = DeskWidgets::button(QStringLiteral("打印测试"), QStringLiteral("testButton"));
    exitButton_ = DeskWidgets::button(QStringLiteral("退出"), QStringLiteral("exitButton"));
    for (QPushButton* b : {applyButton_, testButton_, exitButton_})
        buttons->addWidget(b);
    layout->addLayout(buttons);

    connect(applyButton_, &QPushButton::clicked, this, &TPosPrtSetFm::apply);
    connect(testButton_, &QPushButton::clicked, this, &TPosPrtSetFm::printTest);
    connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);
}

void TPosPrtSetFm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    const LoginState& login = LoginState::instance();
    printAfterCheck_->setChecked(login.JieChuHouDaYin == QLatin1String("1"));
    portCombo_->clear();
    portCombo_->addItems(PosPrinter::portNames());
    portCombo_->setEditText(login.PosPort);
}

void TPosPrtSetFm::apply()
{
    LoginState& login = LoginState::instance();
    const QString printAfter =
        printAfterCheck_->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    const QString port = portCombo_->currentText();
    SettingsFile file(login.programDir + QStringLiteral("/de.ini"));
    QString error;
    if (!file.write(QStringLiteral("PosPrt"), QStringLiteral("JieChuHouDaYin"), printAfter,
                    &error) ||
        !file.write(QStringLiteral("PosPrt"), QStringLiteral("PosPort"), port, &error)) {
        Messenger::instance().error(this, error);
        return;
    }
    login.JieChuHouDaYin = printAfter;
    login.PosPort = port;
    // An open lending screen prints its next receipt with the new values.
    if (auto* lending =
            qobject_cast<TBkBorrowFm*>(ScreenRegistry::instance().existing(Command::Borrow)))
        lending->applyPrinterDefault();
    Messenger::instance().information(this, QStringLiteral("修改完毕,重启软件后生效!"));
    close();
}

void TPosPrtSetFm::printTest()
{
    const LoginState& login = LoginState::instance();
    const QByteArray page = PosPrinter::testPage(login.softname, login.OperatorName, Clock::now(),
                                                 testTextEdit_->text());
    if (!PosPrinter::writeTo(portCombo_->currentText(), page))
        Messenger::instance().information(this, QStringLiteral("失败!"));
}
