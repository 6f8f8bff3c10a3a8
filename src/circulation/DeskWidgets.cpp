#include "DeskWidgets.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace DeskWidgets {

QLineEdit* addField(QGridLayout* grid, int index, int perRow, const QString& caption,
                    const QString& objectName, QList<QWidget*>* group, bool editable)
{
    auto* label = new QLabel(caption);
    auto* edit = new QLineEdit;
    edit->setReadOnly(!editable);
    edit->setObjectName(objectName);
    edit->setAccessibleName(caption);
    label->setBuddy(edit);
    const int row = index / perRow;
    const int col = (index % perRow) * 2;
    grid->addWidget(label, row, col);
    grid->addWidget(edit, row, col + 1);
    if (group)
        *group << label << edit;
    return edit;
}

QPushButton* button(const QString& caption, const QString& objectName)
{
    auto* b = new QPushButton(caption);
    b->setObjectName(objectName);
    b->setAccessibleName(caption);
    return b;
}

QRadioButton* radio(const QString& caption, const QString& objectName)
{
    auto* r = new QRadioButton(caption);
    r->setObjectName(objectName);
    r->setAccessibleName(caption);
    return r;
}

void setShown(const QList<QWidget*>& widgets, bool shown)
{
    for (QWidget* w : widgets)
        w->setVisible(shown);
}

} // namespace DeskWidgets
