#include "ItemEditScreen.h"

#include "widgets/Messenger.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

ItemEditScreen::ItemEditScreen(const CatalogueTable& table, const QString& number,
                               const QList<EditField>& fields, QWidget* parent)
    : QWidget(parent), rules_(table), number_(number)
{
    form_ = new ItemEditForm(fields, 3, this);
    form_->setObjectName(QStringLiteral("editForm"));
    saveButton_ = new QPushButton(QStringLiteral("保存"), this);
    saveButton_->setObjectName(QStringLiteral("saveButton"));
    saveButton_->setAccessibleName(saveButton_->text());
    cancelButton_ = new QPushButton(QStringLiteral("取消"), this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    cancelButton_->setAccessibleName(cancelButton_->text());
    buttons_ = new QHBoxLayout;
    buttons_->addStretch();
    buttons_->addWidget(saveButton_);
    buttons_->addWidget(cancelButton_);
    layout_ = new QVBoxLayout(this);
    layout_->addWidget(form_);
    layout_->addLayout(buttons_);
    try {
        form_->loadLists();
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
    reload();
    connect(saveButton_, &QPushButton::clicked, this, [this] {
        if (save())
            close();
    });
    connect(cancelButton_, &QPushButton::clicked, this, &QWidget::close);
}

bool ItemEditScreen::reload()
{
    try {
        loaded_ = rules_.load(number_);
    } catch (const DbError& e) {
        loaded_.reset();
        Messenger::instance().error(this, e.message());
    }
    if (!loaded_) {
        Messenger::instance().information(this,
                                          CatalogueText::gone(rules_.table().itemWord, number_));
        saveButton_->setEnabled(false);
        return false;
    }
    form_->show(*loaded_, [this](const QString& column, const QVariant& v) {
        return rules_.shownText(column, v);
    });
    return true;
}

bool ItemEditScreen::reloadAs(const QString& number)
{
    number_ = number;
    return reload();
}

bool ItemEditScreen::save()
{
    if (!loaded_ || !maySave())
        return false;
    const QVariantMap edited = form_->values();
    const ItemResult r = rules_.save(*loaded_, edited);
    if (!r.ok) {
        Messenger::instance().error(this, r.message);
        return false;
    }
    // Later changes go to the item under the number it now has.
    number_ = edited.value(QStringLiteral("编号"), number_).toString();
    afterSave();
    emit saved();
    return true;
}
