#include "InMarcDataUt.h"

#include "data/Database.h"
#include "widgets/Messenger.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
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

QStringList TInMarcDataFm::previewCaptions()
{
    QStringList captions{QStringLiteral("导入"), QStringLiteral("记录"), QStringLiteral("提示")};
    for (const auto& [caption, column] : kPreviewColumns)
        captions << QString::fromUtf8(caption);
    return captions;
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

    previewTable_ = new QTableWidget(this);
    previewTable_->setObjectName(QStringLiteral("previewTable"));
    previewTable_->setAccessibleName(QStringLiteral("记录预览"));
    previewTable_->setColumnCount(int(previewCaptions().size()));
    previewTable_->setHorizontalHeaderLabels(previewCaptions());
    previewTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    previewTable_->verticalHeader()->hide();

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
    auto* failedCaption = new QLabel(QStringLiteral("导入失败的记录"), this);
    top->addWidget(failedCaption);
    top->addWidget(failedList_);

    connect(chooseButton_, &QPushButton::clicked, this, &TInMarcDataFm::chooseClick);
    connect(startButton_, &QPushButton::clicked, this, &TInMarcDataFm::startClick);
    connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);
    for (QComboBox* c : {formatCombo_, encodingCombo_, numberingCombo_})
        connect(c, &QComboBox::currentIndexChanged, this, [this] {
            if (!fileName_.isEmpty())
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

void TInMarcDataFm::chooseClick()
{
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
    failedList_->clear();
    import_ = std::make_unique<MarcImport>(Database::shared(), options());
    QString error;
    bool loaded = false;
    try {
        loaded = import_->load(fileName_, &error);
    } catch (const DbError& e) {
        error = e.message();
    }
    if (!loaded) {
        import_.reset();
        fillPreview();
        Messenger::instance().error(this, error);
        return;
    }
    fillPreview();
}

void TInMarcDataFm::fillPreview()
{
    previewTable_->setRowCount(0);
    startButton_->setEnabled(import_ != nullptr);
    if (!import_) {
        countLabel_->clear();
        return;
    }
    const std::vector<MarcImportRecord>& records = import_->records();
    previewTable_->setRowCount(int(records.size()));
    int readable = 0, held = 0;
    for (int row = 0; row < int(records.size()); ++row) {
        const MarcImportRecord& r = records[row];
        auto* tick = new QTableWidgetItem;
        // Records the library holds are left unticked, so that they are not imported twice.
        const bool take = r.refusal.isEmpty() && !r.numberHeld && !r.isbnHeld;
        tick->setFlags(r.refusal.isEmpty() ? Qt::ItemIsUserCheckable | Qt::ItemIsEnabled
                                           : Qt::ItemIsEnabled);
        tick->setCheckState(take ? Qt::Checked : Qt::Unchecked);
        previewTable_->setItem(row, 0, tick);
        previewTable_->setItem(row, 1, new QTableWidgetItem(QString::number(r.number)));
        previewTable_->setItem(row, 2, new QTableWidgetItem(markOf(r)));
        int column = 3;
        for (const auto& [caption, name] : kPreviewColumns)
            previewTable_->setItem(row, column++,
                                   new QTableWidgetItem(r.columns.value(QString::fromUtf8(name))));
        readable += r.refusal.isEmpty() ? 1 : 0;
        held += (r.numberHeld || r.isbnHeld) ? 1 : 0;
    }
    countLabel_->setText(QStringLiteral("共%1条记录, 可导入%2条, 其中%3条馆内已有ISBN或编号")
                             .arg(records.size())
                             .arg(readable)
                             .arg(held));
}

void TInMarcDataFm::startClick()
{
    if (!import_)
        return;
    QSet<int> chosen;
    for (int row = 0; row < previewTable_->rowCount(); ++row)
        if (previewTable_->item(row, 0)->checkState() == Qt::Checked)
            chosen.insert(previewTable_->item(row, 1)->text().toInt());
    if (chosen.isEmpty()) {
        Messenger::instance().information(this, QStringLiteral("没有选中要导入的记录."));
        return;
    }
    const MarcImport::Result result = import_->run(chosen);
    if (result.stored())
        reload(); // the preview now marks the records just imported as held
    failedList_->clear();
    for (auto it = result.failed.cbegin(); it != result.failed.cend(); ++it)
        failedList_->appendPlainText(QStringLiteral("记录 %1: %2").arg(it.key()).arg(it.value()));
    if (!result.import.error.isEmpty()) {
        Messenger::instance().error(this, result.import.error +
                                              QStringLiteral("\n导入已中止,没有导入任何数据."));
        return;
    }
    Messenger::instance().information(this,
                                      QStringLiteral("完成! 导入%1条记录.").arg(result.imported()));
}
