// Reader editing ("读者编辑"): opened on one reader (the reader management screen passes its
// current row's number). "保存" writes what the operator changed and closes; "取消" and
// closing the window drop the changes.
#pragma once

#include "ReaderRules.h"

#include <QWidget>
#include <optional>

class QComboBox;
class QDateEdit;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TRdEditFm : public QWidget
{
    Q_OBJECT
public:
    explicit TRdEditFm(const QString& readerNumber, QWidget* parent = nullptr);

    // Whether the reader was found; the screen offers no save otherwise.
    bool loaded() const { return loaded_.has_value(); }
    ReaderFields fields() const;
    QDateTime registeredAt() const;
    void saveClick();

signals:
    // The reader was written; its number as saved.
    void saved(const QString& readerNumber);

private:
    void showRecord(const ReaderRecord& r);

    ReaderRules rules_;
    std::optional<ReaderRecord> loaded_;

    QLineEdit* numberEdit_;
    QLineEdit* nameEdit_;
    QComboBox* genderBox_;
    QComboBox* categoryBox_;
    QLineEdit* phoneEdit_;
    QLineEdit* classEdit_;
    QLabel* classLabel_;
    QLineEdit* facultyEdit_;
    QLabel* facultyLabel_;
    QLineEdit* addressEdit_;
    QPlainTextEdit* remarkEdit_;
    QComboBox* departmentBox_;
    QLineEdit* loanCountEdit_;
    QDateTimeEdit* registeredEdit_;
    QLineEdit* statusEdit_;
    QComboBox* paperKindBox_;
    QLineEdit* paperNumberEdit_;
    QLineEdit* balanceEdit_;
    QDateEdit* validUntilEdit_;
    QLineEdit* pinyinEdit_;
    QPushButton* saveButton_;
    QPushButton* cancelButton_;
};
