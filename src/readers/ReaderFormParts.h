// The inputs that the reader registration and editing screens share: labelled fields on a
// grid, drop-downs filled from the lookup tables, and hiding class and faculty.
#pragma once

#include <QString>
#include <QStringList>

class QComboBox;
class QDateEdit;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;
class ReaderRules;
struct ReaderFields;

class ReaderFormParts
{
public:
    ReaderFormParts(QWidget* owner, QGridLayout* grid) : owner_(owner), grid_(grid) {}

    // Each adds a label and its input at (row, column pair); bold marks a mandatory field.
    QLineEdit* line(int row, int col, const QString& label, const char* objectName,
                    bool bold = false, bool readOnly = false);
    QComboBox* choice(int row, int col, const QString& label, const char* objectName,
                      bool bold = false);
    QDateEdit* date(int row, int col, const QString& label, const char* objectName);
    QPlainTextEdit* text(int row, int col, const QString& label, const char* objectName);
    // A button of the owner, named after its caption for tests and assistive technology.
    static QPushButton* button(QWidget* owner, const QString& caption, const char* objectName);
    // The label added with the last input.
    QLabel* lastLabel() const { return lastLabel_; }

    // Fills the drop-downs: 性别 with 男/女, the others from their tables. A database error
    // is shown and leaves the list empty.
    static void fill(const ReaderRules& rules, QComboBox* gender, QComboBox* category,
                     QComboBox* department, QComboBox* paperKind, QWidget* parent);

    // The inputs both screens hold alike; 班级 and 院系 differ in kind and are read by each.
    struct Inputs
    {
        QLineEdit* number;
        QLineEdit* name;
        QComboBox* gender;
        QComboBox* category;
        QComboBox* paperKind;
        QLineEdit* paperNumber;
        QLineEdit* phone;
        QDateEdit* validUntil;
        QComboBox* department;
        QLineEdit* address;
        QPlainTextEdit* remark;
    };
    // The fields as entered, with 班级 and 院系 given by the caller.
    static ReaderFields gather(const Inputs& in, const QString& className, const QString& faculty);
    // Shows 班级 and 院系 with their labels only where the settings ask for them.
    static void showOptional(const ReaderRules& rules, QWidget* classInput, QLabel* classLabel,
                             QWidget* facultyInput, QLabel* facultyLabel);

private:
    QLabel* label(int row, int col, const QString& text, QWidget* buddy, bool bold);

    QWidget* owner_;
    QGridLayout* grid_;
    QLabel* lastLabel_ = nullptr;
};
