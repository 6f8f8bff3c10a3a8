// The renewal screen ("续借"): finds one open loan by reader number and item number and
// moves its due date to the date picked.
#pragma once

#include "Renewal.h"

#include <QWidget>

class QDateEdit;
class QLineEdit;
class QPushButton;

class TXuJieFm : public QWidget
{
    Q_OBJECT
public:
    explicit TXuJieFm(const Database& db, QWidget* parent = nullptr);

    QLineEdit* readerNumberEdit;
    QLineEdit* itemNumberEdit;
    QPushButton* findButton;
    QDateEdit* dueDateEdit;
    QPushButton* renewButton;
    QPushButton* cancelButton;
    QPushButton* exitButton;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void findClick();
    void renewClick();
    void cancelClick();
    void setLoanButtonsEnabled(bool enabled);

    Renewal renewal_;
};
