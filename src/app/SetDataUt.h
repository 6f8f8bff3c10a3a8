// The database settings screen "数据库设置": the database kind and, for a server database,
// its address, name, login and provider, with a test of the connection.
#pragma once

#include "SetDataRules.h"

#include <QDialog>
#include <memory>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TSetDataFm : public QDialog
{
    Q_OBJECT
public:
    explicit TSetDataFm(QWidget* parent = nullptr);
    ~TSetDataFm() override;

    QRadioButton* accessRadio() const { return accessRadio_; }
    QRadioButton* serverRadio() const { return serverRadio_; }
    QGroupBox* serverGroup() const { return serverGroup_; }
    QComboBox* serverBox() const { return serverBox_; }
    QLineEdit* databaseEdit() const { return databaseEdit_; }
    QLineEdit* userEdit() const { return userEdit_; }
    QLineEdit* passwordEdit() const { return passwordEdit_; }
    QComboBox* providerBox() const { return providerBox_; }
    QPushButton* testButton() const { return testButton_; }
    QPushButton* saveButton() const { return saveButton_; }
    QPushButton* exitButton() const { return exitButton_; }
    const SetDataRules& rules() const { return *rules_; }

private:
    void choiceChanged();
    void inputChanged();
    void testClicked();
    void saveClicked();
    void exitClicked();
    void updateSaveButton();
    SetDataRules::Choice choice() const;
    SetDataRules::ServerInputs inputs() const;

    std::unique_ptr<SetDataRules> rules_;
    QRadioButton* accessRadio_;
    QRadioButton* serverRadio_;
    QGroupBox* serverGroup_;
    QComboBox* serverBox_;
    QLineEdit* databaseEdit_;
    QLineEdit* userEdit_;
    QLineEdit* passwordEdit_;
    QComboBox* providerBox_;
    QPushButton* testButton_;
    QPushButton* saveButton_;
    QPushButton* exitButton_;
};
