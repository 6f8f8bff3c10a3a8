#include "RecordingMessenger.h"

QStringList RecordingMessenger::texts() const
{
    QStringList out;
    for (const Shown& s : shown)
        out << s.text;
    return out;
}

void RecordingMessenger::information(QWidget*, const QString& text, const QString& caption)
{
    shown.append({QStringLiteral("information"), text, caption});
}

void RecordingMessenger::error(QWidget*, const QString& text, const QString& caption)
{
    shown.append({QStringLiteral("error"), text, caption});
}

bool RecordingMessenger::confirm(QWidget*, const QString& text, const QString& caption)
{
    shown.append({QStringLiteral("confirm"), text, caption});
    return confirmAnswers.isEmpty() ? true : confirmAnswers.dequeue();
}

std::optional<QString> RecordingMessenger::password(QWidget*, const QString& caption,
                                                    const QString& prompt, const QString&, QChar)
{
    shown.append({QStringLiteral("password"), prompt, caption});
    return passwordAnswers.isEmpty() ? std::nullopt : passwordAnswers.dequeue();
}

QString RecordingMessenger::openFileName(QWidget*, const QString&, const QString&)
{
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

QString RecordingMessenger::saveFileName(QWidget*, const QString&, const QString&, const QString&)
{
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

QString RecordingMessenger::directory(QWidget*, const QString&)
{
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

bool RecordingMessenger::openWithDesktop(const QString& pathOrUrl)
{
    opened << pathOrUrl;
    return desktopCanOpen;
}

bool RecordingMessenger::startProgram(const QString& program, const QStringList&)
{
    started << program;
    return true;
}
