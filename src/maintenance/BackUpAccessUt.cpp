#include "BackUpAccessUt.h"

#include "data/Database.h"
#include "widgets/Messenger.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
template <class W> W* named(W* widget, const char* objectName, const QString& caption)
{
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setAccessibleName(caption);
    return widget;
}
} // namespace

TBackUpAccessFm::TBackUpAccessFm(QWidget* parent)
    : QWidget(parent), rules_(Database::shared()), folders_(new QFileSystemModel(this))
{
    setObjectName(QStringLiteral("TBackUpAccessFm"));
    setWindowTitle(BackupText::Caption);

    auto* layout = new QVBoxLayout(this);
    auto* choose = new QLabel(BackupText::ChooseFolder, this);
    QFont bold = choose->font();
    bold.setBold(true);
    choose->setFont(bold);
    layout->addWidget(choose);
    auto* restore = new QLabel(BackupText::Restore, this);
    restore->setWordWrap(true);
    layout->addWidget(restore);
    const QString example = QDir::toNativeSeparators(
        QDir(QStringLiteral("/media")).absoluteFilePath(QStringLiteral("U盘/图书备份")));
    layout->addWidget(new QLabel(QStringLiteral("例如: %1").arg(example), this));

    driveBox_ = named(new QComboBox(this), "driveBox", QStringLiteral("驱动器"));
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady())
            driveBox_->addItem(QDir::toNativeSeparators(volume.rootPath()), volume.rootPath());
    if (driveBox_->findData(QDir::rootPath()) < 0)
        driveBox_->insertItem(0, QDir::toNativeSeparators(QDir::rootPath()), QDir::rootPath());
    auto* driveRow = new QHBoxLayout;
    auto* driveLabel = new QLabel(QStringLiteral("驱动器:"), this);
    driveLabel->setBuddy(driveBox_);
    driveRow->addWidget(driveLabel);
    driveRow->addWidget(driveBox_, 1);
    layout->addLayout(driveRow);

    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folders_->setRootPath(QDir::rootPath());
    folderTree_ = named(new QTreeView(this), "folderTree", QStringLiteral("文件夹"));
    folderTree_->setModel(folders_);
    for (int c = 1; c < folders_->columnCount(); ++c)
        folderTree_->hideColumn(c);
    folderTree_->header()->hide();

    fileList_ = named(new QListWidget(this), "fileList", QStringLiteral("*.mdb 文件"));
    auto* lists = new QHBoxLayout;
    lists->addWidget(folderTree_, 2);
    lists->addWidget(fileList_, 1);
    layout->addLayout(lists, 1);

    folderEdit_ = named(new QLineEdit(this), "folderEdit", QStringLiteral("备份到:"));
    browseButton_ = named(new QPushButton(QStringLiteral("浏览..."), this), "browseButton",
                          QStringLiteral("浏览..."));
    auto* folderRow = new QHBoxLayout;
    auto* folderLabel = new QLabel(QStringLiteral("备份到:"), this);
    folderLabel->setBuddy(folderEdit_);
    folderRow->addWidget(folderLabel);
    folderRow->addWidget(folderEdit_, 1);
    folderRow->addWidget(browseButton_);
    layout->addLayout(folderRow);

    backupButton_ = named(new QPushButton(QStringLiteral("备份"), this), "backupButton",
                          QStringLiteral("备份"));
    returnButton_ = named(new QPushButton(QStringLiteral("返回"), this), "returnButton",
                          QStringLiteral("返回"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(backupButton_);
    buttons->addWidget(returnButton_);
    layout->addLayout(buttons);

    connect(driveBox_, &QComboBox::currentIndexChanged, this, &TBackUpAccessFm::driveChosen);
    connect(folderTree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    chooseFolder(folders_->filePath(current));
            });
    connect(folderEdit_, &QLineEdit::editingFinished, this, &TBackUpAccessFm::listFiles);
    connect(browseButton_, &QPushButton::clicked, this, &TBackUpAccessFm::browseClick);
    connect(backupButton_, &QPushButton::clicked, this, &TBackUpAccessFm::backupClick);
    connect(returnButton_, &QPushButton::clicked, this, &QWidget::close);

    resize(620, 520);
    driveChosen();
}

void TBackUpAccessFm::driveChosen()
{
    const QString root = driveBox_->currentData().toString();
    if (root.isEmpty())
        return;
    folderTree_->setRootIndex(folders_->index(root));
}

void TBackUpAccessFm::chooseFolder(const QString& folder)
{
    folderEdit_->setText(QDir::toNativeSeparators(folder));
    listFiles();
}

void TBackUpAccessFm::browseClick()
{
    const QString folder = Messenger::instance().directory(this, BackupText::ChooseFolder);
    if (!folder.isEmpty())
        chooseFolder(folder);
}

void TBackUpAccessFm::listFiles()
{
    fileList_->clear();
    fileList_->addItems(
        BackUpAccessRules::backupFiles(QDir::fromNativeSeparators(folderEdit_->text())));
}

void TBackUpAccessFm::backupClick()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const BackUpAccessRules::Result result =
        rules_.backup(QDir::fromNativeSeparators(folderEdit_->text()));
    QApplication::restoreOverrideCursor();
    listFiles();
    if (result.ok || result.refused)
        Messenger::instance().information(this, result.message);
    else
        Messenger::instance().error(this, result.message);
}
