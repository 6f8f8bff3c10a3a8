#include "PickerDialog.h"

#include "RowsGrid.h"
#include "widgets/Messenger.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
// The caption as shown, without the mnemonic marker.
QString shownText(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

QLineEdit* addField(QFormLayout* form, const QString& caption, const QString& objectName)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(objectName);
    edit->setAccessibleName(shownText(caption));
    auto* label = new QLabel(caption);
    label->setBuddy(edit);
    form->addRow(label, edit);
    return edit;
}

QPushButton* addButton(QHBoxLayout* bar, const QString& caption, const QString& objectName)
{
    auto* b = new QPushButton(caption);
    b->setObjectName(objectName);
    b->setAccessibleName(shownText(caption));
    b->setAutoDefault(false);
    bar->addWidget(b);
    return b;
}
} // namespace

PickerDialog::PickerDialog(const QString& nameCaption, const QString& numberCaption, Choose choose,
                           QWidget* parent)
    : QDialog(parent), choose_(std::move(choose))
{
    setWindowTitle(QStringLiteral("选择"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);

    auto* form = new QFormLayout;
    nameEdit_ = addField(form, nameCaption, QStringLiteral("nameEdit"));
    numberEdit_ = addField(form, numberCaption, QStringLiteral("numberEdit"));
    grid_ = new RowsGrid(QStringLiteral("resultGrid"), QStringLiteral("选择"));
    auto* bar = new QHBoxLayout;
    bar->addStretch();
    chooseButton_ = addButton(bar, QStringLiteral("选择(&S)"), QStringLiteral("chooseButton"));
    backButton_ = addButton(bar, QStringLiteral("返回(&R)"), QStringLiteral("backButton"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(grid_, 1);
    layout->addLayout(bar);
    resize(760, 480);

    connect(nameEdit_, &QLineEdit::returnPressed, this,
            [this] { search([this] { return rowsByName(nameEdit_->text()); }); });
    connect(numberEdit_, &QLineEdit::returnPressed, this,
            [this] { search([this] { return rowsByNumber(numberEdit_->text()); }); });
    connect(chooseButton_, &QPushButton::clicked, this, &PickerDialog::choose);
    connect(backButton_, &QPushButton::clicked, this, &QDialog::reject);
}

void PickerDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    nameEdit_->clear();
    numberEdit_->clear();
    search([this] { return initialRows(); });
    nameEdit_->setFocus();
}

void PickerDialog::search(const std::function<PickerRows()>& run)
{
    try {
        const PickerRows rows = run();
        grid_->showRows(rows.columns, rows.rows);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void PickerDialog::choose()
{
    const QString value = valueOf(grid_->currentRowTexts());
    if (choose_)
        choose_(value);
    accept();
}
