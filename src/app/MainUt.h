// The main window: menus, tool bar, background picture and status bar. Every command opens
// its screen through the screen registry; rights and missing screens disable entries.
#pragma once

#include <QDialog>
#include <QHash>
#include <QMainWindow>

class QAction;
class QLabel;
class QMenu;
class QToolBar;

class TMainFm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMainFm(QWidget* parent = nullptr);

    // The action of a menu entry or tool button by its object name (tests).
    QAction* action(const QString& objectName) const;
    QMenu* settingsMenu() const { return settingsMenu_; }
    QLabel* pictureLabel() const { return picture_; }

    // Runs a command as its menu entry does: the right tested when chosen, then the screen.
    void runCommand(const QString& command);
    // "备 份 数 据 库", "记事本", "计算器", "使用帮助", "打印机", "关    于".
    void backup();
    void openTextEditor();
    void openCalculator();
    void openHelp();
    void choosePrinter();
    void showAbout();
    // "退    出": the same question as closing the window.
    void requestExit();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Entry;
    QAction* makeAction(const Entry& entry);
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    void loadPicture();
    void placePicture();
    void applyRights();

    QMenu* settingsMenu_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QLabel* picture_ = nullptr;
    QLabel* panels_[3] = {};
    QHash<QString, QAction*> actions_;
    // The command each action runs, for enabling by screen and right.
    QHash<QAction*, QString> commands_;
    bool shown_ = false;
};

// The about box "关于": the display texts of de.ini and the database line, "确定" closes it.
class TAboutFm : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutFm(QWidget* parent = nullptr);
};
