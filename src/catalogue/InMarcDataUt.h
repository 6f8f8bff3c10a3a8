// The MARC import screen ("MARC数据导入"): a supplier's or a union catalogue's MARC file is
// previewed record by record, marked where the library holds its ISBN or 编号, and the
// ticked records go into 图书 through MarcImport.
//
// Like the spreadsheet import screen, the file is read and imported in a worker thread:
// the progress bar moves and "退出" stops the work (an import then stores nothing, unless
// the records were stored before the operator answered). The preview holds a tick per
// record and reads the records it shows from the file a window at a time, so that a file of
// any length takes little memory.
#pragma once

#include "MarcImport.h"

#include <QAbstractTableModel>
#include <QWidget>
#include <atomic>
#include <memory>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableView;

// The preview's rows: one per record of the file, a tick box first.
class MarcPreviewModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit MarcPreviewModel(QObject* parent = nullptr);

    // Shows the records of import (nullptr: none); records the library holds, and those
    // that cannot be imported, are left unticked.
    void setImport(const MarcImport* import);
    bool ticked(int number) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The preview's columns after the tick box.
    static QStringList captions();

private:
    const MarcImportRecord* recordAt(int row) const;

    const MarcImport* import_ = nullptr;
    std::vector<char> ticks_;
    // The records read last: the window around the rows on screen.
    mutable int windowFirst_ = 0;
    mutable std::vector<MarcImportRecord> window_;
};

class TInMarcDataFm : public QWidget
{
    Q_OBJECT
public:
    explicit TInMarcDataFm(QWidget* parent = nullptr);

    void chooseClick();
    void startClick();
    // Reads the file again with the options on the screen (each change of an option).
    void reload();
    const MarcImport* import() const { return import_.get(); }
    const MarcPreviewModel* preview() const { return preview_; }
    bool busy() const { return busy_; }
    const MarcImport::Result& lastResult() const { return lastResult_; }

    // The preview's columns after the tick box.
    static QStringList previewCaptions() { return MarcPreviewModel::captions(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    MarcImportOptions options() const;
    void setBusy(bool busy);
    void showCounts();
    // Runs work in a worker thread (in this one, between events, when the library file
    // is held by this desk alone) while tick moves the bar.
    void work(const std::function<void()>& job, const std::function<void()>& tick);
    MarcImport::Result runImport();

    QString fileName_;
    std::unique_ptr<MarcImport> import_;
    bool busy_ = false;
    bool importing_ = false;
    bool closeWhenDone_ = false;
    std::atomic<bool> stopRequested_ = false;
    MarcImport::Result lastResult_;

    QComboBox* formatCombo_;
    QComboBox* encodingCombo_;
    QComboBox* numberingCombo_;
    QPushButton* chooseButton_;
    QPushButton* startButton_;
    QPushButton* exitButton_;
    QLabel* fileLabel_;
    QLabel* countLabel_;
    QProgressBar* progressBar_;
    QTableView* previewTable_;
    MarcPreviewModel* preview_;
    QPlainTextEdit* failedList_;
};
