// "联机编目": copy cataloguing from book entry. The operator searches the ticked Z39.50 and
// SRU targets by ISBN, title or author; the search runs in a worker thread with a time-out
// and a cancel, the records found are listed, and "采用" hands the chosen one to the entry
// screen, which fills its fields for the operator to check and save. "目标设置" edits the
// targets kept in the library.
#pragma once

#include "CopyCatalogue.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

class TCopyCatalogueFm : public QWidget
{
    Q_OBJECT
public:
    using Take = std::function<void(const MarcColumns&)>;
    TCopyCatalogueFm(Take take, QWidget* parent = nullptr);
    ~TCopyCatalogueFm() override;

    void searchClick();
    void cancelClick();
    void takeClick();
    void targetsClick();
    // From the click until the result is shown.
    bool searching() const { return searching_; }
    const ZoomResult& lastResult() const { return result_; }

private:
    void loadTargets();
    void searchFinished();

    Take take_;
    QList<ZoomTarget> targets_;
    ZoomResult result_;
    QFutureWatcher<ZoomResult> watcher_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    bool searching_ = false;

    QListWidget* targetList_;
    QComboBox* fieldCombo_;
    QLineEdit* termEdit_;
    QPushButton* searchButton_;
    QPushButton* cancelButton_;
    QPushButton* takeButton_;
    QPushButton* targetsButton_;
    QPushButton* closeButton_;
    QLabel* statusLabel_;
    QTableWidget* resultTable_;
};

// "目标设置": the targets table, one row a target.
class TCopyTargetsFm : public QDialog
{
    Q_OBJECT
public:
    explicit TCopyTargetsFm(QWidget* parent = nullptr);
    void addClick();
    void deleteClick();
    // Stores the rows; false (after showing why) when a row lacks its name or host.
    bool saveClick();
    QTableWidget* table() const { return table_; }

private:
    void addRow(const ZoomTarget& t);
    QTableWidget* table_;
};
