#include "PasswordQuery.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PasswordQueryDialog::PasswordQueryDialog(QWidget* parent, const QString& caption,
                                         const QString& prompt, const QString& defaultText,
                                         QChar mask)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(prompt, this);
    label->setWordWrap(true);
    layout->addWidget(label);
    input_ = new QLineEdit(this);
    input_->setEchoMode(QLineEdit::Password);
    // The mask glyph of a password input is a style property.
    input_->setStyleSheet(
        QStringLiteral("lineedit-password-character: %1").arg(int(mask.unicode())));
    input_->setObjectName(QStringLiteral("passwordEdit"));
    input_->setAccessibleName(prompt);
    input_->setMaxLength(255);
    input_->setText(defaultText);
    input_->selectAll();
    label->setBuddy(input_);
    layout->addWidget(input_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setAccessibleName(QStringLiteral("OK"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString PasswordQueryDialog::value() const
{
    return input_->text();
}

bool PasswordQuery(QWidget* parent, const QString& caption, const QString& prompt,
                   const QString& defaultText, QChar mask, QString* value)
{
    *value = defaultText;
    PasswordQueryDialog dialog(parent, caption, prompt, defaultText, mask);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *value = dialog.value();
    return true;
}
