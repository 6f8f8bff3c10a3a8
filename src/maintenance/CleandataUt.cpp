#include "CleandataUt.h"

#include "CleandataRules.h"
#include "widgets/Messenger.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TCleanDataFm::TCleanDataFm(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TCleanDataFm"));
    setWindowTitle(CleanDataText::Caption);

    auto* layout = new QVBoxLayout(this);
    auto* notice = new QGroupBox(CleanDataText::Notice, this);
    auto* noticeLayout = new QVBoxLayout(notice);
    auto* warning = new QLabel(CleanDataText::Warning, notice);
    warning->setWordWrap(true);
    QPalette red = warning->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    warning->setPalette(red);
    noticeLayout->addWidget(warning);
    layout->addWidget(notice);

    auto* grid = new QGridLayout;
    const auto& steps = CleanDataRules::steps();
    for (int i = 0; i < steps.size(); ++i) {
        auto* box = new QCheckBox(steps[i].caption, this);
        box->setObjectName(QStringLiteral("box%1").arg(i + 1));
        box->setAccessibleName(steps[i].caption);
        grid->addWidget(box, i / 2, i % 2);
        boxes_ << box;
    }
    layout->addLayout(grid);

    okButton_ = new QPushButton(QStringLiteral("确定"), this);
    okButton_->setObjectName(QStringLiteral("okButton"));
    okButton_->setAccessibleName(okButton_->text());
    okButton_->setAutoDefault(false);
    returnButton_ = new QPushButton(QStringLiteral("返回"), this);
    returnButton_->setObjectName(QStringLiteral("returnButton"));
    returnButton_->setAccessibleName(returnButton_->text());
    returnButton_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(returnButton_);
    layout->addLayout(buttons);

    connect(okButton_, &QPushButton::clicked, this, &TCleanDataFm::CleanData);
    connect(returnButton_, &QPushButton::clicked, this, &QWidget::close);
    resize(420, 260);
}

QCheckBox* TCleanDataFm::box(const QString& caption) const
{
    for (QCheckBox* b : boxes_)
        if (b->text() == caption)
            return b;
    return nullptr;
}

void TCleanDataFm::CleanData()
{
    Messenger& m = Messenger::instance();
    const std::optional<QString> typed =
        m.password(this, CleanDataText::PasswordCaption, CleanDataText::PasswordPrompt, QString(),
                   QLatin1Char('*'));
    // Cancelling the box gives the empty text, which fails like any wrong password.
    if (!CleanDataRules::passwordAccepted(typed.value_or(QString()))) {
        m.information(this, CleanDataText::WrongPassword);
        return;
    }
    QList<bool> ticked;
    for (const QCheckBox* b : boxes_)
        ticked << b->isChecked();
    QStringList messages;
    try {
        messages = CleanDataRules::run(Database::shared(), ticked);
    } catch (const DbError& e) {
        m.error(this, e.message());
        return;
    }
    // Shown after the commit: no transaction waits on a message box.
    for (const QString& text : messages)
        m.information(this, text);
    close();
}
