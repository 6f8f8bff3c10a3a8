#include "InMarcDataUt.h"

#include "data/Database.h"
#include "widgets/Messenger.h"
#include "widgets/WorkerRun.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kFileFilter =
    QStringLiteral("MARC文件 (*.mrc *.marc *.iso *.dat *.xml);;所有文件 (*)");

// The preview's columns: caption and the 图书 column it shows.
const std::pair<const char*, const char*> kPreviewColumns[] = {
    {"编号", "编号"},     {"名称", "名称"},         {"作者", "作者"},     {"ISBN", "isbn"},
    {"出版社", "出版社"}, {"出版时间", "出版时间"}, {"分类号", "分类号"}, {"种次号", "zch"},
    {"索书号", "索书号"}, {"条形码", "条形码"},     {"数量", "数量"},     {"价格", "价格"},
};

QComboBox* combo(QWidget* parent, const char* caption, const char* name,
                 std::initializer_list<const char*> items)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setAccessibleName(QString::fromUtf8(caption));
    for (const char* item : items)
        c->addItem(QString::fromUtf8(item));
    return c;
}

QPushButton* button(QWidget* parent, const char* caption, const char* name)
{
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(b->text());
    return b;
}

// Records read from the file at once for the preview.
constexpr int kWindow = 200;
constexpr int kBarInterval = 200;
constexpr int kBarSteps = 1000;

QString markOf(const MarcImportRecord& r)
{
    if (!r.refusal.isEmpty())
        return QStringLiteral("无法导入: ") + r.refusal;
    QStringList marks;
    if (r.numberHeld)
        marks << QStringLiteral("已有此编号");
    if (r.isbnHeld)
        marks << QStringLiteral("已有此ISBN");
    return marks.join(QLatin1Char(' '));
}

} // namespace

MarcPreviewModel::MarcPreviewModel(QObject* parent) : QAbstractTableModel(parent) {}

QStringList MarcPreviewModel::captions()
{
    QStringList captions{QStringLiteral("导入"), QStringLiteral("记录"), QStringLiteral("提示")};
    for (const auto& [caption, column] : kPreviewColumns)
        captions << QString::fromUtf8(caption);
    return captions;
}

void MarcPreviewModel::setImport(const MarcImport* import)
{
    beginResetModel();
    import_ = import;
    window_.clear();
    ticks_.assign(import ? size_t(import->recordCount()) : 0, 0);
    // Records the library holds are left unticked, so that they are not imported twice.
    for (int n = 1; import && n <= import->recordCount(); ++n)
        ticks_[size_t(n - 1)] = import->readable(n) && !import->held(n);
    endResetModel();
}

bool MarcPreviewModel::ticked(int number) const
{
    return number >= 1 && number <= int(ticks_.size()) && ticks_[size_t(number - 1)];
}

int MarcPreviewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(ticks_.size());
}

int MarcPreviewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(captions().size());
}

const MarcImportRecord* MarcPreviewModel::recordAt(int row) const
{
    if (!import_)
        return nullptr;
    const int number = row + 1;
    if (number < windowFirst_ || number >= windowFirst_ + int(window_.size())) {
        // The window is read centred on the row, so that scrolling either way stays in it.
        windowFirst_ = std::max(1, number - kWindow / 2);
        window_ = import_->records(windowFirst_, kWindow);
    }
    const int at = number - windowFirst_;
    return at >= 0 && at < int(window_.size()) ? &window_[size_t(at)] : nullptr;
}

QVariant MarcPreviewModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int number = index.row() + 1;
    if (index.column() == 0)
        return role == Qt::CheckStateRole ? QVariant(ticked(number) ? Qt::Checked : Qt::Unchecked)
                                          : QVariant();
    if (role != Qt::DisplayRole)
        return {};
    if (index.column() == 1)
        return QString::number(number);
    const MarcImportRecord* r = recordAt(index.row());
    if (!r)
        return {};
    if (index.column() == 2)
        return markOf(*r);
    const auto& [caption, name] = kPreviewColumns[index.column() - 3];
    return r->columns.value(QString::fromUtf8(name));
}

bool MarcPreviewModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole ||
        !(flags(index) & Qt::ItemIsUserCheckable))
        return false;
    ticks_[size_t(index.row())] = value.value<Qt::CheckState>() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags MarcPreviewModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const bool readable = import_ && import_->readable(index.row() + 1);
    if (index.column() == 0 && readable)
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QVariant MarcPreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    return captions().at(section);
}

TInMarcDataFm::TInMarcDataFm(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("InMarcDataFm"));
    setWindowTitle(QStringLiteral("MARC数据导入"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(960, 600);

    formatCombo_ = combo(this, "格式", "formatCombo", {"按记录判断", "CNMARC", "MARC21"});
    encodingCombo_ =
        combo(this, "记录未注明时的编码", "encodingCombo", {"GBK/GB18030", "UTF-8", "MARC-8"});
    numberingCombo_ = combo(this, "编号", "numberingCombo",
                            {"取馆藏字段中的条形码", "取控制号(001字段)", "自动增加编号"});
    chooseButton_ = button(this, "选择MARC文件", "chooseButton");
    startButton_ = button(this, "开始导入", "startButton");
    exitButton_ = button(this, "退出", "exitButton");
    startButton_->setEnabled(false);
    fileLabel_ = new QLabel(this);
    fileLabel_->setObjectName(QStringLiteral("fileLabel"));
    countLabel_ = new QLabel(this);
    countLabel_->setObjectName(QStringLiteral("countLabel"));
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("progressBar"));
    progressBar_->setAccessibleName(QStringLiteral("进度"));
    progressBar_->setValue(0);

    preview_ = new MarcPreviewModel(this);
    previewTable_ = new QTableView(this);
    previewTable_->setObjectName(QStringLiteral("previewTable"));
    previewTable_->setAccessibleName(QStringLiteral("记录预览"));
    previewTable_->setModel(preview_);
    previewTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    previewTable_->verticalHeader()->hide();
    // Rows of one height: the view then asks only for the rows it shows.
    previewTable_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    failedList_ = new QPlainTextEdit(this);
    failedList_->setObjectName(QStringLiteral("failedList"));
    failedList_->setAccessibleName(QStringLiteral("导入失败的记录"));
    failedList_->setReadOnly(true);
    failedList_->setMaximumHeight(120);

    auto* options = new QFormLayout;
    for (QComboBox* c : {formatCombo_, encodingCombo_, numberingCombo_}) {
        auto* label = new QLabel(c->accessibleName(), this);
        label->setBuddy(c);
        options->addRow(label, c);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chooseButton_);
    buttons->addWidget(startButton_);
    buttons->addStretch();
    buttons->addWidget(exitButton_);
    auto* top = new QVBoxLayout(this);
    top->addLayout(options);
    top->addWidget(fileLabel_);
    top->addLayout(buttons);
    top->addWidget(countLabel_);
    top->addWidget(previewTable_, 1);
    top->addWidget(progressBar_);
    auto* failedCaption = new QLabel(QStringLiteral("导入失败的记录"), this);
    top->addWidget(failedCaption);
    top->addWidget(failedList_);

    connect(chooseButton_, &QPushButton::clicked, this, &TInMarcDataFm::chooseClick);
    connect(startButton_, &QPushButton::clicked, this, &TInMarcDataFm::startClick);
    connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);
    for (QComboBox* c : {formatCombo_, encodingCombo_, numberingCombo_})
        connect(c, &QComboBox::currentIndexChanged, this, [this] {
            if (!fileName_.isEmpty() && !busy_)
                reload();
        });
}

MarcImportOptions TInMarcDataFm::options() const
{
    MarcImportOptions o;
    if (formatCombo_->currentIndex() == 1)
        o.read.format = MarcFormat::Cnmarc;
    else if (formatCombo_->currentIndex() == 2)
        o.read.format = MarcFormat::Marc21;
    const MarcEncoding encodings[] = {MarcEncoding::Gb18030, MarcEncoding::Utf8,
                                      MarcEncoding::Marc8};
    o.read.undeclared = encodings[std::max(0, encodingCombo_->currentIndex())];
    const MarcNumbering numberings[] = {MarcNumbering::Barcode, MarcNumbering::ControlNumber,
                                        MarcNumbering::Auto};
    o.numbering = numberings[std::max(0, numberingCombo_->currentIndex())];
    return o;
}

void TInMarcDataFm::setBusy(bool busy)
{
    busy_ = busy;
    for (QWidget* w : std::initializer_list<QWidget*>{formatCombo_, encodingCombo_, numberingCombo_,
                                                      chooseButton_})
        w->setEnabled(!busy);
    startButton_->setEnabled(!busy && import_ != nullptr);
}

void TInMarcDataFm::work(const std::function<void()>& job, const std::function<void()>& tick)
{
    setBusy(true);
    if (Database::shared().holdsFileAlone())
        job(); // its progress calls tick and lets the events in
    else
        WorkerRun::run(job, tick, kBarInterval);
    setBusy(false);
}

void TInMarcDataFm::chooseClick()
{
    if (busy_)
        return;
    const QString path =
        Messenger::instance().openFileName(this, QStringLiteral("选择MARC文件"), kFileFilter);
    if (path.isEmpty())
        return;
    fileName_ = path;
    fileLabel_->setText(path);
    reload();
}

void TInMarcDataFm::reload()
{
    if (busy_)
        return;
    failedList_->clear();
    preview_->setImport(nullptr);
    import_ = std::make_unique<MarcImport>(Database::shared(), options());
    const qint64 size = std::max<qint64>(1, QFileInfo(fileName_).size());
    std::atomic<qint64> bytes{0};
    const bool inline_ = Database::shared().holdsFileAlone();
    auto tick = [&] { progressBar_->setValue(int(bytes.load() * kBarSteps / size)); };
    import_->setLoadProgress([&](int, qint64 read) {
        bytes = read;
        if (inline_) {
            tick();
            QCoreApplication::processEvents();
        }
        return !stopRequested_.load();
    });
    progressBar_->setRange(0, kBarSteps);
    progressBar_->setValue(0);
    stopRequested_ = false;
    QString error;
    bool loaded = false;
    work(
        [&] {
            try {
                loaded = import_->load(fileName_, &error);
            } catch (const DbError& e) {
                error = e.message();
            }
        },
        tick);
    import_->setLoadProgress({});
    progressBar_->setValue(loaded ? kBarSteps : 0);
    if (!loaded)
        import_.reset();
    startButton_->setEnabled(import_ != nullptr);
    if (closeWhenDone_) {
        close();
        return;
    }
    preview_->setImport(import_.get());
    showCounts();
    if (!loaded && !error.isEmpty())
        Messenger::instance().error(this, error);
}

void TInMarcDataFm::showCounts()
{
    if (!import_) {
        countLabel_->clear();
        return;
    }
    countLabel_->setText(QStringLiteral("共%1条记录, 可导入%2条, 其中%3条馆内已有ISBN或编号")
                             .arg(import_->recordCount())
                             .arg(import_->readableCount())
                             .arg(import_->heldCount()));
}

MarcImport::Result TInMarcDataFm::runImport()
{
    // The import works on a connection of its own; the window only shows how far it got
    // and passes on a stop, so that no question to the operator ever waits inside the
    // import's transaction.
    const int rows = std::max(import_->recordCount(), 1);
    progressBar_->setRange(0, rows);
    progressBar_->setValue(0);
    std::atomic<int> checked{0}, written{0};
    const bool inline_ = Database::shared().holdsFileAlone();
    // Checking fills the first half of the bar, writing the second.
    auto tick = [&] { progressBar_->setValue((checked.load() + written.load()) / 2); };
    const MarcPreviewModel* preview = preview_;
    MarcImport::Result result;
    work(
        [&] {
            result = import_->run(
                [preview](int number) { return preview->ticked(number); },
                [&](SheetImport::Phase phase, int row) {
                    (phase == SheetImport::Phase::Checking ? checked : written).store(row);
                    if (inline_) {
                        tick();
                        QCoreApplication::processEvents();
                    }
                    return !stopRequested_.load();
                });
        },
        tick);
    progressBar_->setValue(rows);
    return result;
}

void TInMarcDataFm::startClick()
{
    if (!import_ || busy_)
        return;
    bool any = false;
    for (int n = 1; n <= import_->recordCount() && !any; ++n)
        any = preview_->ticked(n);
    if (!any) {
        Messenger::instance().information(this, QStringLiteral("没有选中要导入的记录."));
        return;
    }
    importing_ = true;
    stopRequested_ = false;
    failedList_->clear();
    // The ticks are read by the import in its thread: no one changes them meanwhile.
    previewTable_->setEnabled(false);
    lastResult_ = runImport();
    previewTable_->setEnabled(true);
    importing_ = false;
    const MarcImport::Result& result = lastResult_;
    // Asked to stop, but the records were stored before the answer came: say so.
    const bool storedAnyway = closeWhenDone_ && result.stored();
    if (closeWhenDone_ && !storedAnyway) {
        close();
        return;
    }
    QString failed;
    for (auto it = result.failed.cbegin(); it != result.failed.cend(); ++it)
        failed += QStringLiteral("记录 %1: %2\n").arg(it.key()).arg(it.value());
    failed.chop(1);
    if (result.import.cancelled)
        Messenger::instance().information(this, QStringLiteral("导入已中止,没有导入任何数据."));
    else if (result.import.outcomeUnknown)
        Messenger::instance().error(this, result.import.error);
    else if (!result.import.error.isEmpty())
        Messenger::instance().error(this, result.import.error +
                                              QStringLiteral("\n导入已中止,没有导入任何数据."));
    else if (storedAnyway)
        Messenger::instance().information(this, QStringLiteral("中止之前导入已经完成,数据已导入."));
    else
        Messenger::instance().information(
            this, QStringLiteral("完成! 导入%1条记录.").arg(result.imported()));
    if (storedAnyway) {
        close();
        return;
    }
    if (result.stored())
        reload(); // the preview now marks the records just imported as held
    failedList_->setPlainText(failed);
}

void TInMarcDataFm::closeEvent(QCloseEvent* event)
{
    if (!busy_) {
        QWidget::closeEvent(event);
        return;
    }
    // Working: the import (or the reading) ends first, rolled back, then the window closes.
    event->ignore();
    if (closeWhenDone_)
        return;
    if (importing_ && !Messenger::instance().confirm(
                          this, QStringLiteral("正在导入,确认要中止导入并退出吗?"), windowTitle()))
        return;
    stopRequested_ = true;
    closeWhenDone_ = true;
}
