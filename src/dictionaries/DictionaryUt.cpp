#include "DictionaryUt.h"

#include "data/Database.h"
#include "widgets/Messenger.h"
#include "widgets/ResultMessages.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QPushButton* button(QWidget* parent, QHBoxLayout* bar, const QString& text, const char* name)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(text);
    bar->addWidget(b);
    return b;
}
} // namespace

TDictionaryFm::TDictionaryFm(const DictionaryTable& table, QWidget* parent)
    : QWidget(parent), rules_(Database::shared(), table)
{
    setObjectName(table.screenName);
    setWindowTitle(table.caption);

    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    addButton_ = button(this, bar, QStringLiteral("添加"), "addButton");
    editButton_ = button(this, bar, QStringLiteral("修改"), "editButton");
    saveButton_ = button(this, bar, QStringLiteral("保存"), "saveButton");
    cancelButton_ = button(this, bar, QStringLiteral("取消"), "cancelButton");
    deleteButton_ = button(this, bar, QStringLiteral("删除"), "deleteButton");
    exitButton_ = button(this, bar, QStringLiteral("退出"), "exitButton");
    bar->addStretch();
    layout->addLayout(bar);

    auto* form = new QFormLayout;
    for (const DictionaryField& f : table.fields) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(f.objectName);
        edit->setAccessibleName(f.label.isEmpty() ? f.column : f.label);
        QWidget* input = edit;
        if (!f.hint.isEmpty()) {
            input = new QWidget(this);
            auto* row = new QHBoxLayout(input);
            row->setContentsMargins(0, 0, 0, 0);
            row->addWidget(edit);
            row->addWidget(new QLabel(f.hint, input));
        }
        if (f.label.isEmpty()) {
            form->addRow(input);
        } else {
            auto* label = new QLabel(f.label, this);
            label->setBuddy(edit);
            form->addRow(label, input);
        }
        fields_ << edit;
    }
    layout->addLayout(form);

    grid_ = new QTableWidget(this);
    grid_->setObjectName(QStringLiteral("grid"));
    grid_->setAccessibleName(table.table);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setStretchLastSection(true);
    const QStringList shown = rules_.gridColumns();
    grid_->setColumnCount(int(shown.size()));
    grid_->setHorizontalHeaderLabels(shown);
    grid_->setSortingEnabled(table.sortableGrid);
    layout->addWidget(grid_, 1);

    connect(addButton_, &QPushButton::clicked, this, &TDictionaryFm::addClick);
    connect(editButton_, &QPushButton::clicked, this, &TDictionaryFm::editClick);
    connect(saveButton_, &QPushButton::clicked, this, &TDictionaryFm::saveClick);
    connect(cancelButton_, &QPushButton::clicked, this, &TDictionaryFm::cancelClick);
    connect(deleteButton_, &QPushButton::clicked, this, &TDictionaryFm::deleteClick);
    connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);
    connect(grid_, &QTableWidget::currentCellChanged, this, [this] {
        if (mode_ == Mode::Browsing)
            showCurrentRow();
    });

    resize(520, 420);
    setMode(Mode::Browsing);
    reload();
}

void TDictionaryFm::reload()
{
    const int at = currentRow();
    const QString keep = at >= 0 ? rows_[at].name() : QString();
    try {
        rows_ = rules_.rows();
    } catch (const DbError& e) {
        rows_.clear();
        Messenger::instance().error(this, e.message());
    }
    fillGrid(keep);
}

void TDictionaryFm::fillGrid(const QString& selectName)
{
    const QStringList all = rules_.columns();
    const QStringList shown = rules_.gridColumns();
    const bool sorting = grid_->isSortingEnabled();
    grid_->setSortingEnabled(false);
    grid_->clearContents();
    grid_->setRowCount(int(rows_.size()));
    for (int r = 0; r < rows_.size(); ++r) {
        for (int c = 0; c < shown.size(); ++c) {
            auto* item = new QTableWidgetItem(rows_[r].texts.value(all.indexOf(shown[c])));
            item->setData(Qt::UserRole, r);
            grid_->setItem(r, c, item);
        }
    }
    grid_->setSortingEnabled(sorting);
    int select = rows_.isEmpty() ? -1 : 0;
    for (int r = 0; r < grid_->rowCount(); ++r) {
        const QTableWidgetItem* item = grid_->item(r, 0);
        if (item && rows_[item->data(Qt::UserRole).toInt()].name() == selectName) {
            select = r;
            break;
        }
    }
    grid_->setCurrentCell(select, select < 0 ? -1 : 0);
    showCurrentRow();
}

int TDictionaryFm::currentRow() const
{
    const QTableWidgetItem* item = grid_->item(grid_->currentRow(), 0);
    if (!item || item->data(Qt::UserRole).isNull())
        return -1;
    return item->data(Qt::UserRole).toInt();
}

void TDictionaryFm::showCurrentRow()
{
    const int at = currentRow();
    const QStringList texts = at >= 0 ? rules_.fieldTexts(rows_[at]) : QStringList();
    for (int i = 0; i < fields_.size(); ++i)
        fields_[i]->setText(texts.value(i));
}

void TDictionaryFm::setMode(Mode mode)
{
    mode_ = mode;
    const bool browsing = mode == Mode::Browsing;
    addButton_->setEnabled(browsing);
    editButton_->setEnabled(browsing);
    saveButton_->setEnabled(!browsing);
    cancelButton_->setEnabled(!browsing);
    deleteButton_->setEnabled(browsing);
    grid_->setEnabled(browsing);
    for (int i = 0; i < fields_.size(); ++i) {
        const bool nameKept =
            i == 0 && mode == Mode::Editing && rules_.nameLocked(original_.name());
        fields_[i]->setReadOnly(browsing || nameKept);
    }
}

QStringList TDictionaryFm::fieldTexts() const
{
    QStringList texts;
    for (const QLineEdit* e : fields_)
        texts << e->text();
    return texts;
}

void TDictionaryFm::addClick()
{
    if (mode_ != Mode::Browsing)
        return;
    reload();
    // A blank row at the end stands for the new row while it is typed.
    const bool sorting = grid_->isSortingEnabled();
    grid_->setSortingEnabled(false);
    const int r = grid_->rowCount();
    grid_->insertRow(r);
    grid_->setCurrentCell(r, 0);
    grid_->setSortingEnabled(sorting);
    for (QLineEdit* e : fields_)
        e->clear();
    original_ = {};
    setMode(Mode::Adding);
    fields_.first()->setFocus();
}

void TDictionaryFm::editClick()
{
    const int at = currentRow();
    if (mode_ != Mode::Browsing || at < 0)
        return;
    original_ = rows_[at];
    setMode(Mode::Editing);
    if (rules_.table().focusNameOnEdit)
        fields_.first()->setFocus();
}

void TDictionaryFm::saveClick()
{
    if (mode_ == Mode::Browsing)
        return;
    const QStringList texts = fieldTexts();
    const RuleResult result =
        mode_ == Mode::Adding ? rules_.add(texts) : rules_.change(original_, texts);
    showResult(this, result);
    if (!result.done())
        return;
    setMode(Mode::Browsing);
    try {
        rows_ = rules_.rows();
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
    fillGrid(texts.first().trimmed());
}

void TDictionaryFm::cancelClick()
{
    if (mode_ == Mode::Browsing)
        return;
    const QString keep = mode_ == Mode::Editing ? original_.name() : QString();
    setMode(Mode::Browsing);
    fillGrid(keep);
}

void TDictionaryFm::deleteClick()
{
    const int at = currentRow();
    if (mode_ != Mode::Browsing || at < 0)
        return;
    const DictionaryRow row = rows_[at];
    if (!confirmResult(this, rules_.removeCheck(row)))
        return;
    const RuleResult result = rules_.remove(row);
    showResult(this, result);
    if (result.done())
        reload();
}
