#include "BkSearchUt.h"

#include "BkEditUt.h"
#include "BookLabel.h"
#include "MarcExportUt.h"
#include "report/ReportPreview.h"
#include "widgets/DataGrid.h"
#include "widgets/ScreenRegistry.h"

#include <QLabel>

TBkSearchFm::TBkSearchFm(QWidget* parent) : CatalogueList(CatalogueTable::books(), parent)
{
    addSearchCommand();
    addItemCommands();
    addRefreshCommand();
    addShowAllCommand();
    addPrintCommand();
    addBarcodeCommand();
    addCommand(QStringLiteral("打印标签"), "printLabelAction", [this] { printLabel(); });
    addExportCommand();
    addCommand(QStringLiteral("MARC导出"), "marcExportAction", [this] { exportMarc(); });
    addCloseCommand();
}

void TBkSearchFm::exportMarc()
{
    TMarcExportFm dialog(statement(), grid()->currentValue(QStringLiteral("编号")).toString(),
                         this);
    dialog.exec();
}

void TBkSearchFm::firstShown()
{
    CatalogueList::firstShown();
    totalsLabel()->setText(rules().totalsLine());
}

QWidget* TBkSearchFm::createEditScreen(const QString& number)
{
    auto* screen = new TBkEditFm(number, this);
    connect(screen, &TBkEditFm::saved, this,
            [this, screen] { refreshKeeping(QStringLiteral("编号"), screen->number()); });
    return screen;
}

void TBkSearchFm::addItem()
{
    ScreenRegistry::instance().open(Command::AddBook, this);
}

void TBkSearchFm::printLabel()
{
    if (grid()->currentRow() < 0)
        return;
    QVariantMap values;
    for (const char* f : {"编号", "索书号", "分类号", "名称", "条形码"})
        values.insert(QString::fromUtf8(f), grid()->currentValue(QString::fromUtf8(f)));
    previewReport(this, BookLabel::prepare(values));
}
