#include "SheetImportForm.h"

#include "Messenger.h"
#include "WorkerRun.h"
#include "data/SpreadsheetReader.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>
#include <QVBoxLayout>

namespace {
const QString kRowsSuffix = QStringLiteral("条数据(行数)");
const QString kColumnsSuffix = QStringLiteral("个项目(列数)");
const QString kFileFilter = QStringLiteral("Excel文件 (*.xlsx *.xls *.csv);;所有文件 (*)");
// The progress bar moves a few times a second; the import looks for a stop more often.
constexpr int kBarInterval = 200;
constexpr int kEventInterval = 50;

template <class W> W* named(W* w, const char* objectName, const QString& caption)
{
    w->setObjectName(QString::fromLatin1(objectName));
    w->setAccessibleName(caption);
    return w;
}

QLabel* label(const QString& text, const char* objectName, QWidget* buddy = nullptr)
{
    auto* l = named(new QLabel(text), objectName, text);
    l->setWordWrap(true);
    if (buddy) {
        l->setBuddy(buddy);
        buddy->setAccessibleName(text);
    }
    return l;
}
} // namespace

SheetImportForm::SheetImportForm(const SheetImportTexts& texts,
                                 std::function<ImportLayout()> layout, QWidget* parent)
    : QWidget(parent), layout_(std::move(layout))
{
    setWindowTitle(texts.windowTitle);
    setAttribute(Qt::WA_DeleteOnClose);

    sheetTitlesList_ = named(new QListWidget, "sheetTitlesList", QStringLiteral("Excel第一行"));
    fieldsList_ = named(new QListWidget, "fieldsList", QStringLiteral("数据库字段名"));
    rowCountLabel_ = named(new QLabel, "rowCountLabel", QString());
    columnCountLabel_ = named(new QLabel, "columnCountLabel", QString());
    progressBar_ = named(new QProgressBar, "progressBar", QStringLiteral("进度"));
    progressBar_->setValue(0);
    elapsedLabel_ = named(new QLabel, "elapsedLabel", QString());
    failedRowsEdit_ = named(new QPlainTextEdit, "failedRowsEdit", QStringLiteral("导入失败的行号"));
    failedRowsEdit_->setReadOnly(true);
    failedRowsEdit_->setMaximumHeight(70);
    const QString autoNumber = QStringLiteral("自动增加编号");
    autoNumberCheck_ = named(new QCheckBox(autoNumber), "autoNumberCheck", autoNumber);
    chooseButton_ = named(new QPushButton(QStringLiteral("选择Excel")), "chooseButton",
                          QStringLiteral("选择Excel"));
    clearButton_ = named(new QPushButton(QStringLiteral("清空list")), "clearButton",
                         QStringLiteral("清空list"));
    startButton_ = named(new QPushButton(QStringLiteral("开始导入")), "startButton",
                         QStringLiteral("开始导入"));
    exitButton_ =
        named(new QPushButton(QStringLiteral("退出")), "exitButton", QStringLiteral("退出"));

    auto* main = new QVBoxLayout(this);
    int n = 0;
    for (const QString& text : texts.instructions)
        main->addWidget(
            label(text, QStringLiteral("instruction%1").arg(++n).toLatin1().constData()));
    main->addWidget(label(QStringLiteral("A  导入  B"), "importHeading"), 0, Qt::AlignHCenter);
    auto* lists = new QGridLayout;
    lists->addWidget(label(QStringLiteral("Excel第一行"), "sheetTitlesCaption", sheetTitlesList_),
                     0, 0);
    lists->addWidget(label(QStringLiteral("数据库字段名"), "fieldsCaption", fieldsList_), 0, 1);
    lists->addWidget(sheetTitlesList_, 1, 0);
    lists->addWidget(fieldsList_, 1, 1);
    main->addLayout(lists, 1);
    auto* counts = new QHBoxLayout;
    counts->addWidget(rowCountLabel_);
    counts->addWidget(columnCountLabel_);
    counts->addWidget(elapsedLabel_);
    main->addLayout(counts);
    main->addWidget(progressBar_);
    main->addWidget(label(QStringLiteral("导入失败的行号"), "failedRowsCaption", failedRowsEdit_));
    main->addWidget(failedRowsEdit_);
    main->addWidget(label(texts.failureHint, "failureHint"));
    main->addWidget(autoNumberCheck_);
    main->addWidget(label(QStringLiteral("如果您的Excel数据中没有编号,那么请选择自动增加编号."),
                          "autoNumberHint"));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {chooseButton_, clearButton_, startButton_, exitButton_})
        buttons->addWidget(b);
    main->addLayout(buttons);

    connect(chooseButton_, &QPushButton::clicked, this, &SheetImportForm::chooseClick);
    connect(clearButton_, &QPushButton::clicked, this, &SheetImportForm::clearClick);
    connect(startButton_, &QPushButton::clicked, this, &SheetImportForm::startClick);
    connect(exitButton_, &QPushButton::clicked, this, &SheetImportForm::exitClick);

    fieldsList_->addItems([this] {
        QStringList captions;
        for (const ImportColumn& c : layout_().columns)
            captions << c.caption;
        return captions;
    }());
    startButton_->setEnabled(false);
    resize(560, 640);
}

void SheetImportForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!fileName_.isEmpty() || importing_)
        return;
    failedRowsEdit_->clear();
    rowCountLabel_->clear();
    columnCountLabel_->clear();
}

void SheetImportForm::setBusy(bool busy)
{
    busy_ = busy;
    chooseButton_->setEnabled(!busy);
    clearButton_->setEnabled(!busy);
    autoNumberCheck_->setEnabled(!busy);
    if (busy)
        startButton_->setEnabled(false);
}

std::unique_ptr<SpreadsheetReader> SheetImportForm::readSheet(const QString& path)
{
    std::unique_ptr<SpreadsheetReader> sheet;
    QString error;
    WorkerRun::run([&] { sheet = SpreadsheetReader::openFile(path, &error); });
    if (!sheet)
        Messenger::instance().error(this, error);
    return sheet;
}

void SheetImportForm::chooseClick()
{
    if (busy_)
        return;
    progressBar_->setValue(0);
    sheetTitlesList_->clear();
    failedRowsEdit_->clear();
    const QString path =
        Messenger::instance().openFileName(this, QStringLiteral("选择Excel"), kFileFilter);
    if (path.isEmpty())
        return;
    setBusy(true);
    const std::unique_ptr<SpreadsheetReader> sheet = readSheet(path);
    setBusy(false);
    if (closeWhenDone_) {
        close();
        return;
    }
    if (!sheet) {
        // The file chosen last cannot be read: nothing is left to import until a readable
        // one is chosen (the earlier file's import is not offered under it).
        fileName_.clear();
        rowCountLabel_->clear();
        columnCountLabel_->clear();
        startButton_->setEnabled(false);
        return;
    }
    fileName_ = path;
    rowCountLabel_->setText(QString::number(std::max(sheet->rowCount() - 1, 0)) + kRowsSuffix);
    columnCountLabel_->setText(QString::number(sheet->columnCount()) + kColumnsSuffix);
    for (int c = 1; c <= sheet->columnCount(); ++c)
        sheetTitlesList_->addItem(sheet->cell(1, c));
    startButton_->setEnabled(true);
}

void SheetImportForm::clearClick()
{
    sheetTitlesList_->clear();
    failedRowsEdit_->clear();
}

void SheetImportForm::startClick()
{
    if (busy_ || fileName_.isEmpty())
        return;
    QElapsedTimer elapsed;
    elapsed.start();
    setBusy(true);
    importing_ = true;
    stopRequested_ = false;
    failedRowsEdit_->clear();
    elapsedLabel_->clear();
    const std::unique_ptr<SpreadsheetReader> sheet = readSheet(fileName_);
    lastReadMilliseconds_ = elapsed.elapsed();
    if (sheet && !stopRequested_) {
        lastResult_ = runImport(*sheet);
        progressBar_->setValue(progressBar_->maximum());
    } else {
        lastResult_ = SheetImport::Result();
        lastResult_.cancelled = stopRequested_;
    }
    importing_ = false;
    setBusy(false);
    startButton_->setEnabled(false);
    // Asked to stop, but the rows were stored before the answer came: say so.
    const bool storedAnyway = closeWhenDone_ && sheet && lastResult_.stored();
    if (closeWhenDone_ && !storedAnyway) {
        close();
        return;
    }
    if (!sheet)
        return;
    failedRowsEdit_->setPlainText(lastResult_.failedRowsText());
    elapsedLabel_->setText(
        QStringLiteral("时间:") +
        QTime(0, 0).addMSecs(int(elapsed.elapsed())).toString(QStringLiteral("HH:mm:ss")));
    if (lastResult_.cancelled)
        Messenger::instance().information(this, QStringLiteral("导入已中止,没有导入任何数据."));
    else if (lastResult_.outcomeUnknown)
        Messenger::instance().error(this, lastResult_.error);
    else if (!lastResult_.error.isEmpty())
        Messenger::instance().error(this, lastResult_.error +
                                              QStringLiteral("\n导入已中止,没有导入任何数据."));
    else if (storedAnyway)
        Messenger::instance().information(this, QStringLiteral("中止之前导入已经完成,数据已导入."));
    else
        Messenger::instance().information(this, QStringLiteral("完成!"));
    if (storedAnyway)
        close();
}

SheetImport::Result SheetImportForm::runImport(const SpreadsheetReader& sheet)
{
    // The import works in a worker thread on a connection of its own; the window only
    // shows how far it got and passes on a stop, so that no question to the operator ever
    // waits inside the import's transaction.
    const int rows = std::max(sheet.rowCount(), 1);
    progressBar_->setMaximum(rows);
    progressBar_->setValue(0);
    std::atomic<int> checked{0}, written{0};
    SheetImport import(Database::shared(), layout_());
    import.setProgressInterval(kEventInterval);
    const bool autoNumber = autoNumberCheck_->isChecked();
    SheetImport::Result result;
    if (Database::shared().holdsFileAlone()) {
        // A file on a shared folder has one connection, usable in this thread alone; no
        // other desk can be held up by it.
        return import.run(sheet, autoNumber, [&](SheetImport::Phase phase, int row) {
            progressBar_->setValue(phase == SheetImport::Phase::Checking ? row / 2
                                                                         : (rows + row) / 2);
            QCoreApplication::processEvents();
            return !stopRequested_.load();
        });
    }
    // Checking fills the first half of the bar, writing the second.
    WorkerRun::run(
        [&] {
            result = import.run(sheet, autoNumber, [&](SheetImport::Phase phase, int row) {
                (phase == SheetImport::Phase::Checking ? checked : written).store(row);
                return !stopRequested_.load();
            });
        },
        [&] { progressBar_->setValue((checked.load() + written.load()) / 2); }, kBarInterval);
    return result;
}

bool SheetImportForm::confirmStop()
{
    return Messenger::instance().confirm(this, QStringLiteral("正在导入,确认要中止导入并退出吗?"),
                                         windowTitle());
}

void SheetImportForm::exitClick()
{
    close();
}

void SheetImportForm::closeEvent(QCloseEvent* event)
{
    if (!busy_) {
        QWidget::closeEvent(event);
        return;
    }
    // Working: the import (or the reading) ends first, rolled back, then the window closes.
    event->ignore();
    if (closeWhenDone_)
        return;
    if (importing_ && !confirmStop())
        return;
    stopRequested_ = true;
    closeWhenDone_ = true;
}
