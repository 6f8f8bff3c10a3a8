// The backup screen "备份数据": the hints, a drive (mounted volume) picker, the folder tree
// of the chosen drive, the chosen folder and its "*.mdb" files, "备份" and "返回". The
// snapshot itself is BackUpAccessRules'.
#pragma once

#include "BackUpAccessRules.h"

#include <QWidget>

class QComboBox;
class QFileSystemModel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeView;

class TBackUpAccessFm : public QWidget
{
    Q_OBJECT
public:
    explicit TBackUpAccessFm(QWidget* parent = nullptr);

    QComboBox* driveBox() const { return driveBox_; }
    QTreeView* folderTree() const { return folderTree_; }
    QLineEdit* folderEdit() const { return folderEdit_; }
    QListWidget* fileList() const { return fileList_; }
    QPushButton* backupButton() const { return backupButton_; }
    QPushButton* returnButton() const { return returnButton_; }

    // Chooses a folder as the tree does.
    void chooseFolder(const QString& folder);
    void backupClick();

private:
    void driveChosen();
    void browseClick();
    void listFiles();

    BackUpAccessRules rules_;
    QFileSystemModel* folders_;
    QComboBox* driveBox_;
    QTreeView* folderTree_;
    QLineEdit* folderEdit_;
    QPushButton* browseButton_;
    QListWidget* fileList_;
    QPushButton* backupButton_;
    QPushButton* returnButton_;
};
