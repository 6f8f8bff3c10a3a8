// The top-up screen "卡内充值": the reader's number, name, gender and balance, the amount
// (digits and a decimal point only), "退款(充入负值)" for a refund, a remark; "确定" tops up.
#pragma once

#include "ReaderAccount.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TRdChongZhiFm : public QWidget
{
    Q_OBJECT
public:
    TRdChongZhiFm(const QString& number, const QString& name, const QString& gender,
                  QWidget* parent = nullptr);
    void okClick();

signals:
    void saved();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ReaderAccount rules_;
    QString number_;
    QString name_;
    QLineEdit* balanceEdit_;
    QLineEdit* amountEdit_;
    QCheckBox* refundBox_;
    QPlainTextEdit* remarkEdit_;
    QPushButton* okButton_;
    QPushButton* backButton_;
};
