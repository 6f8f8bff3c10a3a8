// The status screen "更改状态": the reader's number, name and gender, the status drop-down
// ("正常", "停用" or what is typed), a remark; "保存" writes the status with its log row.
#pragma once

#include "ReaderAccount.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TChangeRdStateFm : public QWidget
{
    Q_OBJECT
public:
    TChangeRdStateFm(const QString& number, const QString& name, const QString& gender,
                     const QString& status, QWidget* parent = nullptr);
    void saveClick();

signals:
    void saved();

private:
    ReaderAccount rules_;
    QString number_;
    QString name_;
    QComboBox* statusBox_;
    QPlainTextEdit* remarkEdit_;
    QPushButton* saveButton_;
    QPushButton* cancelButton_;
};
