#include "RdSearchUt.h"

#include "ChangeRdStateUt.h"
#include "RdChongZhiUt.h"
#include "RdEditUt.h"
#include "report/ReportPreview.h"
#include "widgets/DataGrid.h"
#include "widgets/Messenger.h"
#include "widgets/ScreenRegistry.h"

#include <QAction>

TRdSearchFm::TRdSearchFm(QWidget* parent) : ListScreen(ReaderAccount::listDescription(), parent)
{
    setWindowState(windowState() | Qt::WindowMaximized);
    grid()->setHeaderFilterEnabled(true);
    addSearchCommand();
    addAction_ = addCommand(QStringLiteral("添加"), "addAction",
                            [this] { ScreenRegistry::instance().open(Command::AddReader, this); });
    editAction_ = addCommand(QStringLiteral("编辑"), "editAction", [this] { editCurrent(); });
    addCommand(QStringLiteral("修改状态"), "changeStateAction", [this] { changeStateCurrent(); });
    deleteAction_ = addCommand(QStringLiteral("删除"), "deleteAction", [this] { deleteCurrent(); });
    addRefreshCommand();
    addShowAllCommand();
    addCommand(QStringLiteral("打印报表"), "printAction", [this] { printList(); });
    addCommand(QStringLiteral("借阅证"), "cardsAction", [this] { printCards(); });
    addCommand(QStringLiteral("转EXCEL"), "exportAction", [this] { exportToExcel(); });
    topUpAction_ = addCommand(QStringLiteral("充值"), "topUpAction", [this] { topUpCurrent(); });
    addCloseCommand();
}

void TRdSearchFm::firstShown()
{
    const LoginState& state = LoginState::instance();
    addAction_->setEnabled(state.rights.qxadddata);
    editAction_->setEnabled(state.rights.qxrdxg);
    deleteAction_->setEnabled(state.rights.qxdel);
    grid()->setColumnHidden(QStringLiteral("班级"), !state.settings.显示班级);
    grid()->setColumnHidden(QStringLiteral("院系"), !state.settings.显示院系);
}

void TRdSearchFm::showEvent(QShowEvent* event)
{
    ListScreen::showEvent(event);
    if (opened_)
        return;
    opened_ = true;
    // A library without readers offers no top-up.
    topUpAction_->setEnabled(grid()->rowCount() > 0);
}

void TRdSearchFm::showModal(QWidget* screen)
{
    screen->setAttribute(Qt::WA_DeleteOnClose);
    screen->setWindowFlag(Qt::Window);
    screen->setWindowModality(Qt::ApplicationModal);
    screen->show();
}

void TRdSearchFm::editCurrent()
{
    if (grid()->currentRow() < 0)
        return;
    auto* screen =
        new TRdEditFm(DbValue::toText(grid()->currentValue(QStringLiteral("读者编号"))), this);
    connect(screen, &TRdEditFm::saved, this, [this](const QString& readerNumber) {
        refreshKeeping(QStringLiteral("读者编号"), readerNumber);
    });
    showModal(screen);
}

void TRdSearchFm::changeStateCurrent()
{
    if (grid()->currentRow() < 0)
        return;
    auto text = [this](const char* f) {
        return DbValue::toText(grid()->currentValue(QString::fromUtf8(f)));
    };
    auto* screen =
        new TChangeRdStateFm(text("读者编号"), text("读者姓名"), text("性别"), text("状态"), this);
    const QString number = text("读者编号");
    connect(screen, &TChangeRdStateFm::saved, this,
            [this, number] { refreshKeeping(QStringLiteral("读者编号"), number); });
    showModal(screen);
}

void TRdSearchFm::topUpCurrent()
{
    if (grid()->currentRow() < 0)
        return;
    auto text = [this](const char* f) {
        return DbValue::toText(grid()->currentValue(QString::fromUtf8(f)));
    };
    auto* screen = new TRdChongZhiFm(text("读者编号"), text("读者姓名"), text("性别"), this);
    const QString number = text("读者编号");
    connect(screen, &TRdChongZhiFm::saved, this,
            [this, number] { refreshKeeping(QStringLiteral("读者编号"), number); });
    showModal(screen);
}

void TRdSearchFm::deleteCurrent()
{
    if (grid()->currentRow() < 0)
        return;
    // The reader asked about is the one deleted, however the list is sorted meanwhile.
    const QString number = DbValue::toText(grid()->currentValue(QStringLiteral("读者编号")));
    const QString name = DbValue::toText(grid()->currentValue(QStringLiteral("读者姓名")));
    Messenger& m = Messenger::instance();
    if (!m.confirm(this, ReaderText::deleteQuestion(name), windowTitle()))
        return;
    const ReaderResult r = rules_.remove(number);
    if (!r.ok) {
        m.information(this, r.message);
        return;
    }
    refresh();
}

void TRdSearchFm::printCards()
{
    try {
        const Report cards = ReaderAccount::libraryCards(LoginState::instance().settings.图书馆名,
                                                         rules_.cardBackText());
        previewReport(this, cards,
                      grid()->reportRows({QStringLiteral("读者编号"), QStringLiteral("读者姓名"),
                                          QStringLiteral("类别")}));
    } catch (const DbError& e) {
        Messenger::instance().error(this, e.message());
    }
}
