// The spreadsheet import screen shared by the book and the reader import: list A shows the
// titles of the chosen sheet's first row, list B the columns they go to, and "开始导入"
// imports every row through a SheetImport. The two screens differ only in their layout
// and a few texts.
//
// The window stays alive while it works: the sheet is read and imported in a worker thread,
// so the progress bar moves and "退出" can stop the import (which then stores nothing,
// unless the rows were stored before the operator answered).
#pragma once

#include "data/SheetImport.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class SpreadsheetReader;

struct SheetImportTexts
{
    QString windowTitle;
    QStringList instructions; // the texts above the lists, top to bottom
    QString failureHint;      // under "导入失败的行号"
};

class SheetImportForm : public QWidget
{
    Q_OBJECT
public:
    // layout is asked for at each import, so that it carries the values of that moment
    // (the operator's name).
    SheetImportForm(const SheetImportTexts& texts, std::function<ImportLayout()> layout,
                    QWidget* parent = nullptr);

    QString fileName() const { return fileName_; }
    bool importing() const { return importing_; }
    // The figures of the last import, for the benchmark and the tests.
    const SheetImport::Result& lastResult() const { return lastResult_; }
    qint64 lastReadMilliseconds() const { return lastReadMilliseconds_; }

    void chooseClick();
    void clearClick();
    void startClick();
    void exitClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Reads the file in a worker thread while the window goes on; nullptr after showing
    // the reason when it cannot be read.
    std::unique_ptr<SpreadsheetReader> readSheet(const QString& path);
    // Asked while an import runs: true when the operator wants it stopped.
    bool confirmStop();
    SheetImport::Result runImport(const SpreadsheetReader& sheet);
    void setBusy(bool busy);

    std::function<ImportLayout()> layout_;
    QString fileName_;
    bool importing_ = false;
    bool busy_ = false;
    std::atomic<bool> stopRequested_ = false;
    bool closeWhenDone_ = false;
    SheetImport::Result lastResult_;
    qint64 lastReadMilliseconds_ = 0;

    QListWidget* sheetTitlesList_;
    QListWidget* fieldsList_;
    QLabel* rowCountLabel_;
    QLabel* columnCountLabel_;
    QProgressBar* progressBar_;
    QLabel* elapsedLabel_;
    QPlainTextEdit* failedRowsEdit_;
    QCheckBox* autoNumberCheck_;
    QPushButton* chooseButton_;
    QPushButton* clearButton_;
    QPushButton* startButton_;
    QPushButton* exitButton_;
};
