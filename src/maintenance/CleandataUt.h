// The system initialisation screen "清理数据": the warning, seven tick boxes of what to
// delete, "确定" (after the maintenance password) and "返回".
#pragma once

#include <QList>
#include <QWidget>

class QCheckBox;
class QPushButton;

class TCleanDataFm : public QWidget
{
    Q_OBJECT
public:
    explicit TCleanDataFm(QWidget* parent = nullptr);

    // The tick box of that caption ("删除图书信息", ...), or nullptr.
    QCheckBox* box(const QString& caption) const;
    QPushButton* okButton() const { return okButton_; }
    QPushButton* returnButton() const { return returnButton_; }

    // "确定": the password, the deletions, their messages, then the screen closes. A
    // database error is shown and the screen stays open with nothing deleted.
    void CleanData();

private:
    QList<QCheckBox*> boxes_;
    QPushButton* okButton_;
    QPushButton* returnButton_;
};
