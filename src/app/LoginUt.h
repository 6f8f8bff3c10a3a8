// The login screen "系统登录": the first window of the program. Showing it opens the shared
// connection and fills the operator names; "确定" logs the operator in.
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TLoginFm : public QDialog
{
    Q_OBJECT
public:
    explicit TLoginFm(QWidget* parent = nullptr);

    // Opens the shared connection with the chosen string and fills the operator list; on a
    // failed connection says so and opens the database settings screen. Runs once, when
    // the screen is first shown; false when the connection failed.
    bool prepare();

    QComboBox* nameBox() const { return nameBox_; }
    QLineEdit* passwordEdit() const { return passwordEdit_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

public slots:
    // "确定": accepted when the login succeeds.
    void okClicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillOperators();

    QLabel* heading_;
    QComboBox* nameBox_;
    QLineEdit* passwordEdit_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    bool prepared_ = false;
};
