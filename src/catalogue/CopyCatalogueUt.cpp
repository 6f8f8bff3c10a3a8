#include "CopyCatalogueUt.h"

#include "widgets/Messenger.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrent>

namespace {

QPushButton* button(QWidget* parent, const QString& caption, const char* name)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(caption);
    return b;
}

// The result list's columns: caption and the 图书 column shown.
const std::pair<const char*, const char*> kResultColumns[] = {
    {"名称", "名称"},     {"作者", "作者"},         {"ISBN", "isbn"},
    {"出版社", "出版社"}, {"出版时间", "出版时间"}, {"分类号", "分类号"},
};

const QStringList kTargetCaptions{QStringLiteral("名称"),  QStringLiteral("主机"),
                                  QStringLiteral("端口"),  QStringLiteral("数据库"),
                                  QStringLiteral("协议"),  QStringLiteral("记录格式"),
                                  QStringLiteral("字符集")};

} // namespace

TCopyCatalogueFm::TCopyCatalogueFm(Take take, QWidget* parent)
    : QWidget(parent, Qt::Window), take_(std::move(take))
{
    setObjectName(QStringLiteral("CopyCatalogueFm"));
    setWindowTitle(QStringLiteral("联机编目"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(820, 520);
    targetList_ = new QListWidget(this);
    targetList_->setObjectName(QStringLiteral("targetList"));
    targetList_->setAccessibleName(QStringLiteral("检索目标"));
    targetList_->setMaximumHeight(110);
    fieldCombo_ = new QComboBox(this);
    fieldCombo_->setObjectName(QStringLiteral("fieldCombo"));
    fieldCombo_->setAccessibleName(QStringLiteral("检索项"));
    fieldCombo_->addItems({QStringLiteral("ISBN"), QStringLiteral("题名"), QStringLiteral("著者")});
    termEdit_ = new QLineEdit(this);
    termEdit_->setObjectName(QStringLiteral("termEdit"));
    termEdit_->setAccessibleName(QStringLiteral("检索词"));
    searchButton_ = button(this, QStringLiteral("检索"), "searchButton");
    cancelButton_ = button(this, QStringLiteral("取消检索"), "cancelButton");
    takeButton_ = button(this, QStringLiteral("采用"), "takeButton");
    targetsButton_ = button(this, QStringLiteral("目标设置"), "targetsButton");
    closeButton_ = button(this, QStringLiteral("返回"), "closeButton");
    cancelButton_->setEnabled(false);
    takeButton_->setEnabled(false);
    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName(QStringLiteral("statusLabel"));
    statusLabel_->setWordWrap(true);
    resultTable_ = new QTableWidget(this);
    resultTable_->setObjectName(QStringLiteral("resultTable"));
    resultTable_->setAccessibleName(QStringLiteral("检索结果"));
    QStringList captions{QStringLiteral("目标")};
    for (const auto& [caption, column] : kResultColumns)
        captions << QString::fromUtf8(caption);
    resultTable_->setColumnCount(int(captions.size()));
    resultTable_->setHorizontalHeaderLabels(captions);
    resultTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultTable_->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* targetsCaption = new QLabel(QStringLiteral("检索目标"), this);
    auto* query = new QHBoxLayout;
    query->addWidget(new QLabel(QStringLiteral("检索项"), this));
    query->addWidget(fieldCombo_);
    query->addWidget(new QLabel(QStringLiteral("检索词"), this));
    query->addWidget(termEdit_, 1);
    query->addWidget(searchButton_);
    query->addWidget(cancelButton_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(takeButton_);
    buttons->addWidget(targetsButton_);
    buttons->addStretch();
    buttons->addWidget(closeButton_);
    auto* top = new QVBoxLayout(this);
    top->addWidget(targetsCaption);
    top->addWidget(targetList_);
    top->addLayout(query);
    top->addWidget(statusLabel_);
    top->addWidget(resultTable_, 1);
    top->addLayout(buttons);

    connect(searchButton_, &QPushButton::clicked, this, &TCopyCatalogueFm::searchClick);
    connect(termEdit_, &QLineEdit::returnPressed, this, &TCopyCatalogueFm::searchClick);
    connect(cancelButton_, &QPushButton::clicked, this, &TCopyCatalogueFm::cancelClick);
    connect(takeButton_, &QPushButton::clicked, this, &TCopyCatalogueFm::takeClick);
    connect(targetsButton_, &QPushButton::clicked, this, &TCopyCatalogueFm::targetsClick);
    connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
    connect(resultTable_, &QTableWidget::itemSelectionChanged, this,
            [this] { takeButton_->setEnabled(!resultTable_->selectedItems().isEmpty()); });
    connect(&watcher_, &QFutureWatcher<ZoomResult>::finished, this,
            &TCopyCatalogueFm::searchFinished);
    loadTargets();
}

TCopyCatalogueFm::~TCopyCatalogueFm()
{
    // The worker holds no pointer into this screen; it only has to end before the process.
    if (cancel_)
        cancel_->store(true);
    watcher_.waitForFinished();
}

void TCopyCatalogueFm::loadTargets()
{
    try {
        targets_ = CopyCatalogue::targets(Database::shared());
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
        targets_.clear();
    }
    targetList_->clear();
    for (const ZoomTarget& t : targets_) {
        auto* item =
            new QListWidgetItem(QStringLiteral("%1 (%2 %3:%4/%5)")
                                    .arg(t.name, CopyCatalogue::protocolText(t.sru), t.host)
                                    .arg(t.port)
                                    .arg(t.database),
                                targetList_);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(Qt::Checked);
    }
}

void TCopyCatalogueFm::searchClick()
{
    if (searching())
        return;
    QList<ZoomTarget> chosen;
    for (int i = 0; i < targetList_->count(); ++i)
        if (targetList_->item(i)->checkState() == Qt::Checked)
            chosen << targets_[i];
    if (chosen.isEmpty()) {
        Messenger::instance().information(this,
                                          QStringLiteral("请先在目标设置中设置并选中检索目标!"));
        return;
    }
    if (termEdit_->text().trimmed().isEmpty()) {
        Messenger::instance().information(this, QStringLiteral("请输入检索词!"));
        return;
    }
    const ZoomField fields[] = {ZoomField::Isbn, ZoomField::Title, ZoomField::Author};
    const ZoomField field = fields[std::max(0, fieldCombo_->currentIndex())];
    const QString term = termEdit_->text();
    searching_ = true;
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<std::atomic<bool>> cancel = cancel_;
    resultTable_->setRowCount(0);
    takeButton_->setEnabled(false);
    searchButton_->setEnabled(false);
    cancelButton_->setEnabled(true);
    statusLabel_->setText(QStringLiteral("正在检索..."));
    watcher_.setFuture(QtConcurrent::run([chosen, field, term, cancel] {
        return ZoomSearch::run(chosen, field, term, CopyCatalogue::kTimeoutMilliseconds, 10,
                               cancel.get());
    }));
}

void TCopyCatalogueFm::cancelClick()
{
    if (cancel_)
        cancel_->store(true);
}

void TCopyCatalogueFm::searchFinished()
{
    result_ = watcher_.result();
    searching_ = false;
    searchButton_->setEnabled(true);
    cancelButton_->setEnabled(false);
    if (result_.cancelled) {
        statusLabel_->setText(QStringLiteral("检索已取消."));
        return;
    }
    QStringList status;
    for (const ZoomTargetOutcome& o : result_.targets)
        status << (o.error.isEmpty() ? QStringLiteral("%1: 命中%2条").arg(o.target).arg(o.hits)
                                     : QStringLiteral("%1: %2").arg(o.target, o.error));
    statusLabel_->setText(status.join(QLatin1Char('\n')));
    resultTable_->setRowCount(int(result_.records.size()));
    for (int row = 0; row < int(result_.records.size()); ++row) {
        const ZoomRecord& r = result_.records[row];
        resultTable_->setItem(row, 0, new QTableWidgetItem(r.target));
        int column = 1;
        for (const auto& [caption, name] : kResultColumns)
            resultTable_->setItem(row, column++,
                                  new QTableWidgetItem(r.columns.value(QString::fromUtf8(name))));
    }
    if (!result_.records.isEmpty())
        resultTable_->selectRow(0);
}

void TCopyCatalogueFm::takeClick()
{
    const int row = resultTable_->currentRow();
    if (row < 0 || row >= int(result_.records.size()))
        return;
    if (take_)
        take_(result_.records[row].columns);
}

void TCopyCatalogueFm::targetsClick()
{
    TCopyTargetsFm dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        loadTargets();
}

TCopyTargetsFm::TCopyTargetsFm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CopyTargetsFm"));
    setWindowTitle(QStringLiteral("目标设置"));
    resize(760, 320);
    table_ = new QTableWidget(0, int(kTargetCaptions.size()), this);
    table_->setObjectName(QStringLiteral("targetTable"));
    table_->setAccessibleName(QStringLiteral("检索目标"));
    table_->setHorizontalHeaderLabels(kTargetCaptions);
    QPushButton* add = button(this, QStringLiteral("添加"), "addButton");
    QPushButton* remove = button(this, QStringLiteral("删除"), "deleteButton");
    QPushButton* save = button(this, QStringLiteral("保存"), "saveButton");
    QPushButton* back = button(this, QStringLiteral("返回"), "closeButton");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {add, remove, save})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(back);
    auto* top = new QVBoxLayout(this);
    top->addWidget(table_, 1);
    top->addLayout(buttons);
    connect(add, &QPushButton::clicked, this, &TCopyTargetsFm::addClick);
    connect(remove, &QPushButton::clicked, this, &TCopyTargetsFm::deleteClick);
    connect(save, &QPushButton::clicked, this, [this] {
        if (saveClick())
            accept();
    });
    connect(back, &QPushButton::clicked, this, &QDialog::reject);
    try {
        for (const ZoomTarget& t : CopyCatalogue::targets(Database::shared()))
            addRow(t);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}

void TCopyTargetsFm::addRow(const ZoomTarget& t)
{
    const int row = table_->rowCount();
    table_->insertRow(row);
    const QStringList texts{t.name,
                            t.host,
                            QString::number(t.port),
                            t.database,
                            CopyCatalogue::protocolText(t.sru),
                            CopyCatalogue::formatText(t.format),
                            CopyCatalogue::encodingText(t.encoding)};
    for (int c = 0; c < texts.size(); ++c)
        table_->setItem(row, c, new QTableWidgetItem(texts[c]));
    // The three choices as lists, so that only texts the rules know are stored.
    const QList<QStringList> choices{
        {CopyCatalogue::protocolText(false), CopyCatalogue::protocolText(true)},
        {CopyCatalogue::formatText(MarcFormat::Marc21),
         CopyCatalogue::formatText(MarcFormat::Cnmarc)},
        {CopyCatalogue::encodingText(MarcEncoding::Utf8),
         CopyCatalogue::encodingText(MarcEncoding::Gb18030),
         CopyCatalogue::encodingText(MarcEncoding::Marc8)}};
    for (int i = 0; i < choices.size(); ++i) {
        auto* combo = new QComboBox(table_);
        combo->setAccessibleName(kTargetCaptions[4 + i]);
        combo->addItems(choices[i]);
        combo->setCurrentText(texts[4 + i]);
        table_->setCellWidget(row, 4 + i, combo);
    }
}

void TCopyTargetsFm::addClick()
{
    ZoomTarget t;
    t.database = QStringLiteral("Default");
    addRow(t);
}

void TCopyTargetsFm::deleteClick()
{
    if (table_->currentRow() >= 0)
        table_->removeRow(table_->currentRow());
}

bool TCopyTargetsFm::saveClick()
{
    QList<ZoomTarget> targets;
    for (int row = 0; row < table_->rowCount(); ++row) {
        auto text = [&](int c) {
            if (auto* combo = qobject_cast<QComboBox*>(table_->cellWidget(row, c)))
                return combo->currentText();
            return table_->item(row, c) ? table_->item(row, c)->text().trimmed() : QString();
        };
        ZoomTarget t;
        t.name = text(0);
        t.host = text(1);
        bool ok = false;
        t.port = text(2).toInt(&ok);
        t.database = text(3);
        if (t.name.isEmpty() || t.host.isEmpty() || !ok || t.port <= 0 || t.port > 65535) {
            Messenger::instance().information(
                this, QStringLiteral("第%1行: 名称、主机和端口(1-65535)必须填写!").arg(row + 1));
            return false;
        }
        t.sru = text(4) == CopyCatalogue::protocolText(true);
        t.format = CopyCatalogue::formatOf(text(5));
        t.encoding = CopyCatalogue::encodingOf(text(6));
        targets << t;
    }
    try {
        CopyCatalogue::saveTargets(Database::shared(), targets);
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
        return false;
    }
    return true;
}
