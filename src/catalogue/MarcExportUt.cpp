#include "MarcExportUt.h"

#include "MarcExport.h"
#include "data/Clock.h"
#include "widgets/Messenger.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>

namespace {
QComboBox* combo(QWidget* parent, const QString& caption, const char* name,
                 const QStringList& items)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setAccessibleName(caption);
    c->addItems(items);
    return c;
}
} // namespace

TMarcExportFm::TMarcExportFm(ListStatement searched, QString current, QWidget* parent)
    : QDialog(parent), searched_(std::move(searched)), current_(std::move(current))
{
    setObjectName(QStringLiteral("MarcExportFm"));
    setWindowTitle(QStringLiteral("MARC导出"));
    formatCombo_ = combo(this, QStringLiteral("格式"), "formatCombo",
                         {QStringLiteral("CNMARC"), QStringLiteral("MARC21")});
    syntaxCombo_ = combo(this, QStringLiteral("文件格式"), "syntaxCombo",
                         {QStringLiteral("ISO 2709"), QStringLiteral("MARCXML")});
    rangeCombo_ = combo(this, QStringLiteral("导出范围"), "rangeCombo",
                        {QStringLiteral("查询出的全部图书"), QStringLiteral("当前选中的图书")});
    if (current_.isEmpty())
        rangeCombo_->removeItem(1);
    auto* form = new QFormLayout(this);
    for (QComboBox* c : {formatCombo_, syntaxCombo_, rangeCombo_}) {
        auto* label = new QLabel(c->accessibleName(), this);
        label->setBuddy(c);
        form->addRow(label, c);
    }
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* exportButton =
        buttons->addButton(QStringLiteral("导出"), QDialogButtonBox::AcceptRole);
    QPushButton* cancelButton =
        buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    for (QPushButton* b : {exportButton, cancelButton})
        b->setAccessibleName(b->text());
    form->addRow(buttons);
    connect(exportButton, &QPushButton::clicked, this, &TMarcExportFm::exportClick);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TMarcExportFm::exportClick()
{
    const bool xml = syntaxCombo_->currentIndex() == 1;
    const QString path = Messenger::instance().saveFileName(
        this, QStringLiteral("MARC导出"),
        xml ? QStringLiteral("图书.xml") : QStringLiteral("图书.mrc"),
        xml ? QStringLiteral("MARCXML (*.xml)") : QStringLiteral("ISO 2709 (*.mrc *.iso)"));
    if (path.isEmpty())
        return;
    const ListStatement books =
        rangeCombo_->currentIndex() == 1 ? MarcExport::chosen({current_}) : searched_;
    const MarcExport::Result r = MarcExport::write(
        Database::shared(), books,
        formatCombo_->currentIndex() == 1 ? MarcFormat::Marc21 : MarcFormat::Cnmarc,
        xml ? MarcSyntax::MarcXml : MarcSyntax::Iso2709, path, Clock::today());
    if (!r.ok()) {
        Messenger::instance().error(this, r.error);
        return;
    }
    QString text = QStringLiteral("已导出%1条记录到%2.").arg(r.written).arg(path);
    for (auto it = r.failed.cbegin(); it != r.failed.cend(); ++it)
        text += QStringLiteral("\n编号%1没有导出: %2").arg(it.key(), it.value());
    Messenger::instance().information(this, text);
    accept();
}
