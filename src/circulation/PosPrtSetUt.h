// The receipt printer settings: the port, printing after lending by default, a test page.
// "应用" writes both values to de.ini (section PosPrt) and into the login state.
#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class TPosPrtSetFm : public QWidget
{
    Q_OBJECT
public:
    explicit TPosPrtSetFm(QWidget* parent = nullptr);

public slots:
    void apply();
    void printTest();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QCheckBox* printAfterCheck_ = nullptr;
    QComboBox* portCombo_ = nullptr;
    QLineEdit* testTextEdit_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    QPushButton* testButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
};
