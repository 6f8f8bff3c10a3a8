#include "MyNetTmUt.h"

#include "BkAddUt.h"
#include "data/LoginState.h"
#include "widgets/Messenger.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {
template <class W> W* named(W* w, const char* objectName, const QString& caption)
{
    w->setObjectName(QString::fromLatin1(objectName));
    w->setAccessibleName(caption);
    return w;
}
} // namespace

TMyNetTmFm::TMyNetTmFm(TBkAddFm* entry)
    : QWidget(entry, Qt::Window), entry_(entry),
      lookup_(
          new CatalogueLookup(CatalogueText::baseUrl(LoginState::instance().CatalogueHost), this))
{
    setObjectName(QStringLiteral("MyNetTmFm"));
    setWindowTitle(QStringLiteral("联网录入"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::NonModal);

    const QString barcodeCaption = QStringLiteral("图书条形码:");
    barcodeEdit_ = named(new QLineEdit, "barcodeEdit", barcodeCaption);
    barcodeEdit_->installEventFilter(this);
    connectButton_ = named(new QPushButton(QStringLiteral("连接服务器")), "connectButton",
                           QStringLiteral("连接服务器"));
    fetchButton_ = named(new QPushButton(QStringLiteral("获取数据")), "fetchButton",
                         QStringLiteral("获取数据"));
    exitButton_ =
        named(new QPushButton(QStringLiteral("退出")), "exitButton", QStringLiteral("退出"));
    resultList_ = named(new QTableWidget(0, 6), "resultList", QStringLiteral("结果"));
    resultList_->setHorizontalHeaderLabels({QStringLiteral("名称"), QStringLiteral("作者"),
                                            QStringLiteral("分类号"), QStringLiteral("出版社"),
                                            QStringLiteral("出版年"), QStringLiteral("简介")});
    resultList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultList_->verticalHeader()->setDefaultSectionSize(22);

    controls_ = new QWidget;
    auto* controls = new QVBoxLayout(controls_);
    auto* barcodeRow = new QHBoxLayout;
    auto* caption = new QLabel(barcodeCaption);
    caption->setBuddy(barcodeEdit_);
    barcodeRow->addWidget(caption);
    barcodeRow->addWidget(barcodeEdit_);
    controls->addLayout(barcodeRow);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(connectButton_);
    buttons->addWidget(fetchButton_);
    buttons->addWidget(exitButton_);
    controls->addLayout(buttons);
    auto* main = new QVBoxLayout(this);
    main->addWidget(controls_);
    main->addWidget(resultList_);

    connect(connectButton_, &QPushButton::clicked, this, &TMyNetTmFm::connectClick);
    connect(fetchButton_, &QPushButton::clicked, this, &TMyNetTmFm::fetchClick);
    connect(exitButton_, &QPushButton::clicked, this, &QWidget::close);
    connect(barcodeEdit_, &QLineEdit::returnPressed, this, &TMyNetTmFm::fetchClick);
    connect(lookup_, &CatalogueLookup::connectFinished, this, &TMyNetTmFm::connected);
    connect(lookup_, &CatalogueLookup::lookupFinished, this, &TMyNetTmFm::fetched);

    // Beside the entry screen, 400 pixels wide.
    const QRect e = entry->frameGeometry();
    setGeometry(e.left() + e.width() + 5, e.top(), 400, std::max(e.height(), 300));
}

bool TMyNetTmFm::eventFilter(QObject* watched, QEvent* event)
{
    // A click in the barcode field selects all of its text.
    if (watched == barcodeEdit_ && event->type() == QEvent::MouseButtonRelease)
        QTimer::singleShot(0, barcodeEdit_, &QLineEdit::selectAll);
    return QWidget::eventFilter(watched, event);
}

void TMyNetTmFm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    resultList_->setFixedHeight(std::max(height() - controls_->height() - 50, 0));
}

void TMyNetTmFm::closeEvent(QCloseEvent* event)
{
    lookup_->abort();
    QWidget::closeEvent(event);
}

void TMyNetTmFm::setRunning(bool running)
{
    connectButton_->setEnabled(!running);
    fetchButton_->setEnabled(!running);
}

void TMyNetTmFm::connectClick()
{
    if (lookup_->busy())
        return;
    setRunning(true);
    lookup_->connectServer();
}

void TMyNetTmFm::fetchClick()
{
    if (lookup_->busy())
        return;
    setRunning(true);
    lookupPending_ = true;
    lookup_->lookup(barcodeEdit_->text());
}

void TMyNetTmFm::connected(bool ok, const QString& message)
{
    // The first lookup connects first: its search is still to come.
    if (!lookupPending_)
        setRunning(false);
    if (ok)
        Messenger::instance().information(this, message);
    else
        Messenger::instance().error(this, message);
}

void TMyNetTmFm::fetched(CatalogueLookup::Outcome outcome, const QString& isbn,
                         const CatalogueRecord& record)
{
    lookupPending_ = false;
    setRunning(false);
    if (outcome == CatalogueLookup::Outcome::NotFound) {
        Messenger::instance().information(this, isbn + CatalogueText::NotFound);
        return;
    }
    // A failure ends silently; a reply for an entry screen that has gone does nothing.
    if (outcome != CatalogueLookup::Outcome::Found || !entry_)
        return;
    entry_->setFromLookup(record.title, record.classNumber, record.author, record.publisher,
                          barcodeEdit_->text(), record.summary);
    const int row = resultList_->rowCount();
    resultList_->insertRow(row);
    const QStringList cells{record.title,     record.author, record.classNumber,
                            record.publisher, record.year,   record.summary};
    for (int c = 0; c < cells.size(); ++c)
        resultList_->setItem(row, c, new QTableWidgetItem(cells[c]));
}
