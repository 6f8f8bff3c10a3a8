#include "RdChongZhiUt.h"

#include "ReaderFormParts.h"
#include "data/Database.h"
#include "widgets/Messenger.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>

TRdChongZhiFm::TRdChongZhiFm(const QString& number, const QString& name, const QString& gender,
                             QWidget* parent)
    : QWidget(parent), number_(number), name_(name)
{
    setObjectName(QStringLiteral("TRdChongZhiFm"));
    setWindowTitle(QStringLiteral("卡内充值"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    ReaderFormParts parts(this, grid);
    parts.line(0, 0, QStringLiteral("读者编号"), "readerNumberEdit", false, true)->setText(number);
    parts.line(1, 0, QStringLiteral("读者姓名"), "readerNameEdit", false, true)->setText(name);
    parts.line(2, 0, QStringLiteral("性别"), "genderEdit", false, true)->setText(gender);
    balanceEdit_ = parts.line(3, 0, QStringLiteral("卡内金额"), "balanceEdit", false, true);
    amountEdit_ = parts.line(4, 0, QStringLiteral("金额"), "amountEdit");
    amountEdit_->setText(QStringLiteral("0"));
    // Only digits and the decimal point reach the field.
    amountEdit_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9.]*")), amountEdit_));
    amountEdit_->installEventFilter(this);
    refundBox_ = new QCheckBox(QStringLiteral("退款(充入负值)"), this);
    refundBox_->setObjectName(QStringLiteral("refundBox"));
    refundBox_->setAccessibleName(refundBox_->text());
    grid->addWidget(refundBox_, 5, 1);
    remarkEdit_ = parts.text(6, 0, QStringLiteral("备注"), "remarkEdit");
    layout->addLayout(grid);

    auto* bar = new QHBoxLayout;
    okButton_ = new QPushButton(QStringLiteral("确定"), this);
    okButton_->setObjectName(QStringLiteral("okButton"));
    okButton_->setAccessibleName(okButton_->text());
    okButton_->setDefault(true);
    backButton_ = new QPushButton(QStringLiteral("返回"), this);
    backButton_->setObjectName(QStringLiteral("backButton"));
    backButton_->setAccessibleName(backButton_->text());
    bar->addStretch();
    bar->addWidget(okButton_);
    bar->addWidget(backButton_);
    layout->addLayout(bar);

    try {
        const std::optional<Money> b = rules_.balance(number);
        if (b)
            balanceEdit_->setText(b->toString());
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }

    connect(amountEdit_, &QLineEdit::returnPressed, this, &TRdChongZhiFm::okClick);
    connect(okButton_, &QPushButton::clicked, this, &TRdChongZhiFm::okClick);
    connect(backButton_, &QPushButton::clicked, this, &QWidget::close);
}

bool TRdChongZhiFm::eventFilter(QObject* watched, QEvent* event)
{
    // Clicking into the amount selects it, so that the next digits replace it.
    if (watched == amountEdit_ && event->type() == QEvent::MouseButtonRelease)
        QTimer::singleShot(0, amountEdit_, &QLineEdit::selectAll);
    return QWidget::eventFilter(watched, event);
}

void TRdChongZhiFm::okClick()
{
    Messenger& m = Messenger::instance();
    // The field keeps what was typed: the sign of a refund comes from the check box only.
    const ReaderResult r = rules_.topUp(number_, name_, amountEdit_->text(),
                                        refundBox_->isChecked(), remarkEdit_->toPlainText());
    if (!r.ok) {
        if (r.message == ReaderText::ZeroTopUp) {
            m.information(this, r.message);
            amountEdit_->selectAll();
            amountEdit_->setFocus();
        } else {
            m.error(this, r.message);
        }
        return;
    }
    m.information(this, r.message);
    amountEdit_->setText(QStringLiteral("0"));
    emit saved();
    close();
}
