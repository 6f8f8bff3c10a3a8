#include "XuJieUt.h"

#include "widgets/Messenger.h"

#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
QPushButton* makeButton(const QString& caption, const QString& objectName)
{
    auto* b = new QPushButton(caption);
    b->setObjectName(objectName);
    b->setAccessibleName(caption);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* makeEdit(const QString& caption, const QString& objectName)
{
    auto* e = new QLineEdit;
    e->setObjectName(objectName);
    e->setAccessibleName(caption);
    return e;
}
} // namespace

TXuJieFm::TXuJieFm(const Database& db, QWidget* parent) : QWidget(parent), renewal_(db)
{
    setObjectName(QStringLiteral("TXuJieFm"));
    setWindowTitle(QStringLiteral("续借"));

    readerNumberEdit = makeEdit(QStringLiteral("读者编号:"), QStringLiteral("readerNumberEdit"));
    itemNumberEdit = makeEdit(QStringLiteral("书刊编号:"), QStringLiteral("itemNumberEdit"));
    findButton = makeButton(QStringLiteral("确定"), QStringLiteral("findButton"));
    dueDateEdit = new QDateEdit;
    dueDateEdit->setObjectName(QStringLiteral("dueDateEdit"));
    dueDateEdit->setAccessibleName(QStringLiteral("应还日期"));
    dueDateEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dueDateEdit->setCalendarPopup(true);
    renewButton = makeButton(QStringLiteral("续借"), QStringLiteral("renewButton"));
    cancelButton = makeButton(QStringLiteral("取消"), QStringLiteral("cancelButton"));
    exitButton = makeButton(QStringLiteral("退出"), QStringLiteral("exitButton"));

    auto* form = new QFormLayout;
    auto* readerLabel = new QLabel(QStringLiteral("读者编号:"));
    readerLabel->setBuddy(readerNumberEdit);
    form->addRow(readerLabel, readerNumberEdit);
    auto* itemLabel = new QLabel(QStringLiteral("书刊编号:"));
    itemLabel->setBuddy(itemNumberEdit);
    auto* itemRow = new QHBoxLayout;
    itemRow->addWidget(itemNumberEdit, 1);
    itemRow->addWidget(findButton);
    form->addRow(itemLabel, itemRow);
    auto* dateLabel = new QLabel(QStringLiteral("请选择应还日期"));
    dateLabel->setBuddy(dueDateEdit);
    form->addRow(dateLabel, dueDateEdit);

    auto* bar = new QHBoxLayout;
    bar->addStretch();
    bar->addWidget(renewButton);
    bar->addWidget(cancelButton);
    bar->addWidget(exitButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(bar);

    connect(findButton, &QPushButton::clicked, this, &TXuJieFm::findClick);
    connect(renewButton, &QPushButton::clicked, this, &TXuJieFm::renewClick);
    connect(cancelButton, &QPushButton::clicked, this, &TXuJieFm::cancelClick);
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);
    setLoanButtonsEnabled(false);
}

void TXuJieFm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    readerNumberEdit->clear();
    itemNumberEdit->clear();
    readerNumberEdit->setFocus();
}

void TXuJieFm::setLoanButtonsEnabled(bool enabled)
{
    renewButton->setEnabled(enabled);
    cancelButton->setEnabled(enabled);
}

void TXuJieFm::findClick()
{
    // A failed search leaves no loan behind the buttons.
    setLoanButtonsEnabled(false);
    const QString reader = readerNumberEdit->text();
    const QString item = itemNumberEdit->text();
    try {
        if (!renewal_.find(reader, item)) {
            Messenger::instance().information(this, Renewal::notFoundMessage());
            Messenger::instance().information(this, Renewal::searchStatementText(reader, item));
            return;
        }
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
        return;
    }
    dueDateEdit->setDate(renewal_.loan()->应还日期);
    setLoanButtonsEnabled(true);
}

void TXuJieFm::renewClick()
{
    if (!renewal_.loan())
        return;
    try {
        renewal_.renew(dueDateEdit->date());
    } catch (const DbError& e) {
        setLoanButtonsEnabled(false);
        Messenger::instance().error(this, e.message());
        return;
    }
    setLoanButtonsEnabled(false);
    Messenger::instance().information(this, Renewal::doneMessage());
    close();
}

void TXuJieFm::cancelClick()
{
    renewal_.cancel();
    setLoanButtonsEnabled(false);
}
