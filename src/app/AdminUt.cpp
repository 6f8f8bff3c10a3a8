#include "AdminUt.h"

#include "FormHelpers.h"
#include "data/Database.h"
#include "widgets/Messenger.h"
#include "widgets/ResultMessages.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace FormHelpers;

TAdminFm::TAdminFm(QWidget* parent) : QWidget(parent), rules_(Database::shared())
{
    setObjectName(QStringLiteral("TAdminFm"));
    setWindowTitle(QStringLiteral("系统管理员权限设置"));

    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    addButton_ = toolButton(this, bar, QStringLiteral("添加"), "addButton");
    editButton_ = toolButton(this, bar, QStringLiteral("修改"), "editButton");
    saveButton_ = toolButton(this, bar, QStringLiteral("保存"), "saveButton");
    cancelButton_ = toolButton(this, bar, QStringLiteral("取消"), "cancelButton");
    deleteButton_ = toolButton(this, bar, QStringLiteral("删除"), "deleteButton");
    exitButton_ = toolButton(this, bar, QStringLiteral("退出"), "exitButton");
    bar->addStretch();
    layout->addLayout(bar);

    auto* body = new QHBoxLayout;
    grid_ = new QTableWidget(this);
    name(grid_, "grid", QStringLiteral("管理员"));
    grid_->setColumnCount(1);
    grid_->setHorizontalHeaderLabels({QStringLiteral("用户名")});
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setStretchLastSection(true);
    grid_->setMinimumWidth(180);
    body->addWidget(grid_, 1);

    auto* right = new QVBoxLayout;
    nameEdit_ = new QLineEdit(this);
    auto* form = new QFormLayout;
    form->addRow(buddyLabel(QStringLiteral("用户名:"), nameEdit_, "nameEdit", this), nameEdit_);
    right->addLayout(form);

    rightsGroup_ = new QGroupBox(QStringLiteral("权限"), this);
    name(rightsGroup_, "rightsGroup", rightsGroup_->title());
    auto* boxes = new QGridLayout(rightsGroup_);
    const auto& rightBoxes = AdminRules::rightBoxes();
    for (int i = 0; i < rightBoxes.size(); ++i) {
        auto* box = new QCheckBox(QString::fromUtf8(rightBoxes[i].caption), rightsGroup_);
        box->setObjectName(QString::fromLatin1(rightBoxes[i].column) + QStringLiteral("Check"));
        box->setAccessibleName(box->text());
        boxes->addWidget(box, i / 2, i % 2);
        boxes_ << box;
    }
    right->addWidget(rightsGroup_);
    right->addStretch();
    body->addLayout(right, 2);
    layout->addLayout(body, 1);

    connect(addButton_, &QPushButton::clicked, this, &TAdminFm::addClick);
    connect(editButton_, &QPushButton::clicked, this, &TAdminFm::editClick);
    connect(saveButton_, &QPushButton::clicked, this, &TAdminFm::saveClick);
    connect(cancelButton_, &QPushButton::clicked, this, &TAdminFm::cancelClick);
    connect(deleteButton_, &QPushButton::clicked, this, &TAdminFm::deleteClick);
    connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);
    connect(grid_, &QTableWidget::currentCellChanged, this, [this] {
        if (mode_ == Mode::Browsing)
            showCurrent();
    });

    resize(560, 400);
    setMode(Mode::Browsing);
    reload({});
}

QCheckBox* TAdminFm::rightBox(const QString& column) const
{
    const auto& rightBoxes = AdminRules::rightBoxes();
    for (int i = 0; i < rightBoxes.size(); ++i)
        if (column.compare(QString::fromLatin1(rightBoxes[i].column), Qt::CaseInsensitive) == 0)
            return boxes_[i];
    return nullptr;
}

void TAdminFm::reload(const QString& selectName)
{
    try {
        operators_ = rules_.operators();
    } catch (const DbError& e) {
        operators_.clear();
        Messenger::instance().error(this, e.message());
    }
    fillGrid(selectName);
}

void TAdminFm::fillGrid(const QString& selectName)
{
    grid_->clearContents();
    grid_->setRowCount(int(operators_.size()));
    int select = operators_.isEmpty() ? -1 : 0;
    for (int r = 0; r < operators_.size(); ++r) {
        auto* item = new QTableWidgetItem(operators_[r].name);
        item->setData(Qt::UserRole, r);
        grid_->setItem(r, 0, item);
        if (!selectName.isEmpty() && operators_[r].name == selectName)
            select = r;
    }
    grid_->setCurrentCell(select, select < 0 ? -1 : 0);
    showCurrent();
}

bool TAdminFm::selectOperator(const QString& name)
{
    for (int r = 0; r < grid_->rowCount(); ++r) {
        const QTableWidgetItem* item = grid_->item(r, 0);
        if (item && item->text() == name) {
            grid_->setCurrentCell(r, 0);
            return true;
        }
    }
    return false;
}

int TAdminFm::currentRow() const
{
    const QTableWidgetItem* item = grid_->item(grid_->currentRow(), 0);
    if (!item || item->data(Qt::UserRole).isNull())
        return -1;
    return item->data(Qt::UserRole).toInt();
}

void TAdminFm::showCurrent()
{
    const int at = currentRow();
    const AdminRules::Operator shown = at >= 0 ? operators_[at] : AdminRules::Operator();
    nameEdit_->setText(shown.name);
    const auto& rightBoxes = AdminRules::rightBoxes();
    for (int i = 0; i < rightBoxes.size(); ++i)
        boxes_[i]->setChecked(shown.rights.*rightBoxes[i].field);
}

void TAdminFm::setMode(Mode mode)
{
    mode_ = mode;
    const bool browsing = mode == Mode::Browsing;
    addButton_->setEnabled(browsing);
    editButton_->setEnabled(browsing);
    deleteButton_->setEnabled(browsing);
    saveButton_->setEnabled(!browsing);
    cancelButton_->setEnabled(!browsing);
    // Moving to another operator while editing would leave the change behind unsaved.
    grid_->setEnabled(browsing);
    rightsGroup_->setEnabled(!browsing);
    const bool nameKept = mode == Mode::Editing && AdminRules::nameLocked(originalName_);
    nameEdit_->setReadOnly(browsing || nameKept);
}

Rights TAdminFm::tickedRights() const
{
    Rights r;
    const auto& rightBoxes = AdminRules::rightBoxes();
    for (int i = 0; i < rightBoxes.size(); ++i)
        r.*rightBoxes[i].field = boxes_[i]->isChecked();
    return r;
}

void TAdminFm::addClick()
{
    if (mode_ != Mode::Browsing)
        return;
    reload({});
    // A blank row at the end stands for the new operator while it is typed.
    const int r = grid_->rowCount();
    grid_->insertRow(r);
    grid_->setCurrentCell(r, 0);
    nameEdit_->clear();
    for (QCheckBox* b : boxes_)
        b->setChecked(false);
    originalName_.clear();
    setMode(Mode::Adding);
    nameEdit_->setFocus();
}

void TAdminFm::editClick()
{
    const int at = currentRow();
    if (mode_ != Mode::Browsing || at < 0)
        return;
    originalName_ = operators_[at].name;
    setMode(Mode::Editing);
}

void TAdminFm::saveClick()
{
    if (mode_ == Mode::Browsing)
        return;
    const QString typed = nameEdit_->text();
    const RuleResult result = mode_ == Mode::Adding
                                  ? rules_.add(typed, tickedRights())
                                  : rules_.change(originalName_, typed, tickedRights());
    showResult(this, result);
    if (!result.done()) {
        if (AdminRules::cleanName(typed).isEmpty())
            nameEdit_->setFocus();
        return;
    }
    setMode(Mode::Browsing);
    reload(AdminRules::cleanName(typed));
}

void TAdminFm::cancelClick()
{
    if (mode_ == Mode::Browsing)
        return;
    const QString keep = mode_ == Mode::Editing ? originalName_ : QString();
    setMode(Mode::Browsing);
    fillGrid(keep);
}

void TAdminFm::deleteClick()
{
    const int at = currentRow();
    if (mode_ != Mode::Browsing || at < 0)
        return;
    const QString name = operators_[at].name;
    if (!confirmResult(this, AdminRules::removeCheck(name)))
        return;
    const RuleResult result = rules_.remove(name);
    showResult(this, result);
    if (result.done())
        reload({});
}
