// The operator accounts screen "系统管理员权限设置": the operators in a read-only grid, the
// name and the thirteen rights of the current one, and the tool buttons 添加, 修改, 保存,
// 取消, 删除, 退出. Browsing shows the selected operator; editing (after 添加 or 修改)
// unlocks the inputs and locks the grid, so that only 保存 writes. The checks and the SQL
// are AdminRules'.
#pragma once

#include "AdminRules.h"

#include <QList>
#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

class TAdminFm : public QWidget
{
    Q_OBJECT
public:
    enum class Mode
    {
        Browsing,
        Adding,
        Editing,
    };

    explicit TAdminFm(QWidget* parent = nullptr);

    Mode mode() const { return mode_; }
    QTableWidget* grid() const { return grid_; }
    QLineEdit* nameEdit() const { return nameEdit_; }
    QGroupBox* rightsGroup() const { return rightsGroup_; }
    // The check box of a rights column (as AdminRules::rightBoxes names it), or nullptr.
    QCheckBox* rightBox(const QString& column) const;
    QPushButton* addButton() const { return addButton_; }
    QPushButton* editButton() const { return editButton_; }
    QPushButton* saveButton() const { return saveButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    QPushButton* exitButton() const { return exitButton_; }
    // Selects the operator of that name in the grid (tests); false when it is not listed.
    bool selectOperator(const QString& name);

    void addClick();
    void editClick();
    void saveClick();
    void cancelClick();
    void deleteClick();

private:
    void reload(const QString& selectName);
    void fillGrid(const QString& selectName);
    int currentRow() const; // index into operators_, -1 when none
    void showCurrent();
    void setMode(Mode mode);
    Rights tickedRights() const;

    AdminRules rules_;
    Mode mode_ = Mode::Browsing;
    QList<AdminRules::Operator> operators_;
    QString originalName_;

    QTableWidget* grid_;
    QLineEdit* nameEdit_;
    QGroupBox* rightsGroup_;
    QList<QCheckBox*> boxes_;
    QPushButton* addButton_;
    QPushButton* editButton_;
    QPushButton* saveButton_;
    QPushButton* cancelButton_;
    QPushButton* deleteButton_;
    QPushButton* exitButton_;
};
