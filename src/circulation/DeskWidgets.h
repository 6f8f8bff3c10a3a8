// Small builders shared by the desk screens: every input, list and button carries an
// accessible name equal to its caption and an object name for tests.
#pragma once

#include <QList>
#include <QString>

class QGridLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace DeskWidgets {
// A caption and a line edit (read-only unless editable) in the next cell pair of a grid with
// perRow pairs a row; the caption is the edit's buddy. Both join *group when given.
QLineEdit* addField(QGridLayout* grid, int index, int perRow, const QString& caption,
                    const QString& objectName, QList<QWidget*>* group = nullptr,
                    bool editable = false);
QPushButton* button(const QString& caption, const QString& objectName);
QRadioButton* radio(const QString& caption, const QString& objectName);
void setShown(const QList<QWidget*>& widgets, bool shown);
} // namespace DeskWidgets
