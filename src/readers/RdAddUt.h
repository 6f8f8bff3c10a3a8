// Reader registration ("读者添加"): the fields of a new reader, "保存后清空数据", "保存" and
// "返回". The checks and the writes are ReaderRules'.
#pragma once

#include "ReaderRules.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TRdAddFm : public QWidget
{
    Q_OBJECT
public:
    explicit TRdAddFm(QWidget* parent = nullptr);

    // The fields as typed.
    ReaderFields fields() const;
    // Back to the defaults of a new reader.
    void InitialData();
    void Button1Click(); // 保存

signals:
    void saved(const QString& readerNumber);

private:
    ReaderRules rules_;

    QLineEdit* readerNumberEdit_;
    QLineEdit* readerNameEdit_;
    QComboBox* genderBox_;
    QComboBox* categoryBox_;
    QDateEdit* validUntilEdit_;
    QComboBox* classBox_;
    QLabel* classLabel_;
    QLineEdit* addressEdit_;
    QPlainTextEdit* remarkEdit_;
    QComboBox* departmentBox_;
    QLineEdit* phoneEdit_;
    QComboBox* paperKindBox_;
    QLineEdit* paperNumberEdit_;
    QLineEdit* pinyinEdit_;
    QComboBox* facultyBox_;
    QLabel* facultyLabel_;
    QCheckBox* clearAfterSaveCheck_;
    QPushButton* saveButton_;
    QPushButton* closeButton_;
};
