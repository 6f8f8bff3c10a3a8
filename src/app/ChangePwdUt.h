// The password change screen "修改密码": the logged-in operator's name, the old password,
// the new one and its confirmation (all three masked with "*"), "保存" and "关闭".
#pragma once

#include "AdminRules.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

class TChangePwdFm : public QWidget
{
    Q_OBJECT
public:
    explicit TChangePwdFm(QWidget* parent = nullptr);

    QLabel* operatorLabel() const { return operatorLabel_; }
    QLineEdit* oldEdit() const { return oldEdit_; }
    QLineEdit* newEdit() const { return newEdit_; }
    QLineEdit* confirmEdit() const { return confirmEdit_; }
    QPushButton* saveButton() const { return saveButton_; }
    QPushButton* closeButton() const { return closeButton_; }

    void saveClick();

private:
    AdminRules rules_;
    QLabel* operatorLabel_;
    QLineEdit* oldEdit_;
    QLineEdit* newEdit_;
    QLineEdit* confirmEdit_;
    QPushButton* saveButton_;
    QPushButton* closeButton_;
};
