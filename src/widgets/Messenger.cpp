#include "Messenger.h"

#include "PasswordQuery.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {
Messenger* installed = nullptr;

QString titleOr(const QString& caption)
{
    return caption.isEmpty() ? QStringLiteral("图书管理系统") : caption;
}
} // namespace

Messenger& Messenger::instance()
{
    static QtMessenger qt;
    return installed ? *installed : qt;
}

void Messenger::install(Messenger* messenger)
{
    installed = messenger;
}

void QtMessenger::information(QWidget* parent, const QString& text, const QString& caption)
{
    QMessageBox::information(parent, titleOr(caption), text);
}

void QtMessenger::error(QWidget* parent, const QString& text, const QString& caption)
{
    QMessageBox::critical(parent, titleOr(caption), text);
}

bool QtMessenger::confirm(QWidget* parent, const QString& text, const QString& caption)
{
    return QMessageBox::question(parent, titleOr(caption), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> QtMessenger::password(QWidget* parent, const QString& caption,
                                             const QString& prompt, const QString& defaultText,
                                             QChar mask)
{
    QString value;
    if (!PasswordQuery(parent, caption, prompt, defaultText, mask, &value))
        return std::nullopt;
    return value;
}

QString QtMessenger::openFileName(QWidget* parent, const QString& caption, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

QString QtMessenger::saveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                                  const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

QString QtMessenger::directory(QWidget* parent, const QString& caption)
{
    return QFileDialog::getExistingDirectory(parent, caption);
}

bool QtMessenger::openWithDesktop(const QString& pathOrUrl)
{
    const QFileInfo fi(pathOrUrl);
    const QUrl url = fi.exists() ? QUrl::fromLocalFile(fi.absoluteFilePath()) : QUrl(pathOrUrl);
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        return false;
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        return false;
    return QDesktopServices::openUrl(url);
}

bool QtMessenger::startProgram(const QString& program, const QStringList& arguments)
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return false;
    return QProcess::startDetached(program, arguments);
}

void QtMessenger::beep()
{
    QApplication::beep();
}
