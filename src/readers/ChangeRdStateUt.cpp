#include "ChangeRdStateUt.h"

#include "ReaderFormParts.h"
#include "ReaderRules.h"
#include "widgets/Messenger.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TChangeRdStateFm::TChangeRdStateFm(const QString& number, const QString& name,
                                   const QString& gender, const QString& status, QWidget* parent)
    : QWidget(parent), number_(number), name_(name)
{
    setObjectName(QStringLiteral("TChangeRdStateFm"));
    setWindowTitle(QStringLiteral("更改状态"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    ReaderFormParts parts(this, grid);
    parts.line(0, 0, QStringLiteral("读者编号"), "readerNumberEdit", false, true)->setText(number);
    parts.line(1, 0, QStringLiteral("姓名"), "readerNameEdit", false, true)->setText(name);
    parts.line(2, 0, QStringLiteral("性别"), "genderEdit", false, true)->setText(gender);
    statusBox_ = parts.choice(3, 0, QStringLiteral("状态"), "statusBox");
    statusBox_->setEditable(true);
    statusBox_->addItems({ReaderText::Active, ReaderText::Suspended});
    statusBox_->setCurrentText(status);
    remarkEdit_ = parts.text(4, 0, QStringLiteral("备注"), "remarkEdit");
    layout->addLayout(grid);

    auto* bar = new QHBoxLayout;
    saveButton_ = ReaderFormParts::button(this, QStringLiteral("保存"), "saveButton");
    cancelButton_ = ReaderFormParts::button(this, QStringLiteral("取消"), "cancelButton");
    bar->addStretch();
    bar->addWidget(saveButton_);
    bar->addWidget(cancelButton_);
    layout->addLayout(bar);

    connect(saveButton_, &QPushButton::clicked, this, &TChangeRdStateFm::saveClick);
    connect(cancelButton_, &QPushButton::clicked, this, &QWidget::close);
}

void TChangeRdStateFm::saveClick()
{
    const ReaderResult r =
        rules_.changeStatus(number_, name_, statusBox_->currentText(), remarkEdit_->toPlainText());
    if (!r.ok) {
        Messenger::instance().error(this, r.message);
        return;
    }
    emit saved();
    close();
}
