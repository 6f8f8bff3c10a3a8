#include "ItemEditForm.h"

#include "data/Database.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>
#include <QSqlQuery>

namespace {
// An empty date shows as a blank at the lowest date of the editor.
const QDate kNoDate(1900, 1, 1);
} // namespace

ItemEditForm::ItemEditForm(const QList<EditField>& fields, int perRow, QWidget* parent)
    : QWidget(parent), specs_(fields)
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    int row = 0;
    int col = 0;
    QList<const EditField*> memos;
    for (const EditField& f : specs_) {
        QWidget* w = nullptr;
        switch (f.kind) {
        case EditField::List: {
            auto* box = new QComboBox(this);
            box->setEditable(true);
            box->setInsertPolicy(QComboBox::NoInsert);
            box->addItems(f.fixedItems);
            w = box;
            break;
        }
        case EditField::Date: {
            auto* date = new QDateEdit(this);
            date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
            date->setCalendarPopup(true);
            date->setMinimumDate(kNoDate);
            date->setSpecialValueText(QStringLiteral(" "));
            w = date;
            break;
        }
        case EditField::Memo: {
            auto* memo = new QPlainTextEdit(this);
            memo->setTabChangesFocus(true);
            memo->setMaximumHeight(80);
            w = memo;
            break;
        }
        default: {
            auto* line = new QLineEdit(this);
            line->setReadOnly(f.kind == EditField::ReadOnly);
            line->setEnabled(f.kind != EditField::Disabled);
            if (!f.allowedChars.isEmpty())
                line->setValidator(
                    new QRegularExpressionValidator(QRegularExpression(f.allowedChars), line));
            w = line;
            break;
        }
        }
        w->setObjectName(f.objectName);
        w->setAccessibleName(f.caption);
        auto* label = new QLabel(f.caption, this);
        label->setBuddy(w);
        fields_.insert(f.column, w);
        labels_.insert(f.column, label);
        if (f.kind == EditField::Memo) {
            memos << &f;
            continue;
        }
        grid->addWidget(label, row, col * 2);
        grid->addWidget(w, row, col * 2 + 1);
        if (++col == perRow) {
            col = 0;
            ++row;
        }
    }
    if (col != 0)
        ++row;
    for (const EditField* f : memos) {
        grid->addWidget(labels_.value(f->column), row, 0);
        grid->addWidget(fields_.value(f->column), row++, 1, 1, perRow * 2 - 1);
    }
}

void ItemEditForm::loadLists()
{
    for (const EditField& f : specs_) {
        if (f.kind != EditField::List || f.listTable.isEmpty())
            continue;
        auto* box = static_cast<QComboBox*>(fields_.value(f.column));
        const QString kept = box->currentText();
        box->clear();
        QSqlQuery q = Database::shared().query(
            QStringLiteral("select %1 from %2").arg(f.listColumn, f.listTable));
        while (q.next())
            box->addItem(DbValue::toText(q.value(0)));
        box->setCurrentText(kept);
    }
}

void ItemEditForm::show(const QVariantMap& row,
                        const std::function<QString(const QString&, const QVariant&)>& shown)
{
    shown_.clear();
    for (const EditField& f : specs_) {
        const QVariant v = row.value(f.column);
        QWidget* w = fields_.value(f.column);
        if (auto* date = qobject_cast<QDateEdit*>(w)) {
            const QDate d = DbValue::dateOrNull(v);
            date->setDate(d.isValid() ? d : kNoDate);
            shown_.insert(f.column, {date->date(), d});
        } else {
            const QString text = shown(f.column, v);
            setText(f.column, text);
            if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
                shown_.insert(f.column, {memo->toPlainText(), text});
        }
    }
}

QString ItemEditForm::text(const QString& column) const
{
    QWidget* w = fields_.value(column);
    if (auto* line = qobject_cast<QLineEdit*>(w))
        return line->text();
    if (auto* box = qobject_cast<QComboBox*>(w))
        return box->currentText();
    if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
        return memo->toPlainText();
    return {};
}

void ItemEditForm::setText(const QString& column, const QString& text)
{
    QWidget* w = fields_.value(column);
    if (auto* line = qobject_cast<QLineEdit*>(w))
        line->setText(text);
    else if (auto* box = qobject_cast<QComboBox*>(w))
        box->setCurrentText(text);
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
        memo->setPlainText(text);
}

QVariantMap ItemEditForm::values() const
{
    QVariantMap out;
    for (const EditField& f : specs_) {
        QWidget* w = fields_.value(f.column);
        const auto untouched = shown_.constFind(f.column);
        if (auto* date = qobject_cast<QDateEdit*>(w)) {
            if (untouched != shown_.cend() && untouched->editor.toDate() == date->date())
                out.insert(f.column, untouched->stored);
            else
                out.insert(f.column, date->date() == kNoDate ? QDate() : date->date());
            continue;
        }
        const QString now = text(f.column);
        if (untouched != shown_.cend() && untouched->editor.toString() == now)
            out.insert(f.column, untouched->stored);
        else
            out.insert(f.column, now);
    }
    return out;
}
