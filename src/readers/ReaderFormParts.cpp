#include "ReaderFormParts.h"

#include "ReaderRules.h"
#include "data/Database.h"
#include "widgets/Messenger.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

QLabel* ReaderFormParts::label(int row, int col, const QString& text, QWidget* buddy, bool bold)
{
    auto* l = new QLabel(text, owner_);
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    l->setBuddy(buddy);
    buddy->setAccessibleName(text);
    grid_->addWidget(l, row, col * 2);
    grid_->addWidget(buddy, row, col * 2 + 1);
    lastLabel_ = l;
    return l;
}

QLineEdit* ReaderFormParts::line(int row, int col, const QString& text, const char* objectName,
                                 bool bold, bool readOnly)
{
    auto* e = new QLineEdit(owner_);
    e->setObjectName(QString::fromLatin1(objectName));
    e->setReadOnly(readOnly);
    label(row, col, text, e, bold);
    return e;
}

QComboBox* ReaderFormParts::choice(int row, int col, const QString& text, const char* objectName,
                                   bool bold)
{
    auto* c = new QComboBox(owner_);
    c->setObjectName(QString::fromLatin1(objectName));
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    label(row, col, text, c, bold);
    return c;
}

QDateEdit* ReaderFormParts::date(int row, int col, const QString& text, const char* objectName)
{
    auto* d = new QDateEdit(owner_);
    d->setObjectName(QString::fromLatin1(objectName));
    d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    d->setCalendarPopup(true);
    d->setDateRange(QDate(1900, 1, 1), QDate(9999, 12, 31));
    label(row, col, text, d, false);
    return d;
}

QPlainTextEdit* ReaderFormParts::text(int row, int col, const QString& text, const char* objectName)
{
    auto* t = new QPlainTextEdit(owner_);
    t->setObjectName(QString::fromLatin1(objectName));
    t->setMaximumHeight(70);
    label(row, col, text, t, false);
    return t;
}

void ReaderFormParts::fill(const ReaderRules& rules, QComboBox* gender, QComboBox* category,
                           QComboBox* department, QComboBox* paperKind, QWidget* parent)
{
    gender->addItems(ReaderRules::genders());
    try {
        category->addItems(rules.categories());
        department->addItems(rules.departments());
        paperKind->addItems(rules.paperKinds());
    } catch (const DbError& e) {
        Messenger::instance().error(parent, e.message());
    }
}

ReaderFields ReaderFormParts::gather(const Inputs& in, const QString& className,
                                     const QString& faculty)
{
    ReaderFields f;
    f.number = in.number->text();
    f.name = in.name->text();
    f.gender = in.gender->currentText();
    f.category = in.category->currentText();
    f.paperKind = in.paperKind->currentText();
    f.paperNumber = in.paperNumber->text();
    f.phone = in.phone->text();
    f.validUntil = in.validUntil->date();
    f.className = className;
    f.faculty = faculty;
    f.department = in.department->currentText();
    f.address = in.address->text();
    f.remark = in.remark->toPlainText();
    return f;
}

void ReaderFormParts::showOptional(const ReaderRules& rules, QWidget* classInput,
                                   QLabel* classLabel, QWidget* facultyInput, QLabel* facultyLabel)
{
    classInput->setVisible(rules.showsClass());
    classLabel->setVisible(rules.showsClass());
    facultyInput->setVisible(rules.showsFaculty());
    facultyLabel->setVisible(rules.showsFaculty());
}

QPushButton* ReaderFormParts::button(QWidget* owner, const QString& caption, const char* objectName)
{
    auto* b = new QPushButton(caption, owner);
    b->setObjectName(QString::fromLatin1(objectName));
    b->setAccessibleName(caption);
    return b;
}
