// A Messenger for tests: keeps every text shown and answers from queues set by the test.
#pragma once

#include "widgets/Messenger.h"

#include <QQueue>

class RecordingMessenger : public Messenger
{
public:
    RecordingMessenger() { install(this); }
    ~RecordingMessenger() override { install(nullptr); }

    struct Shown
    {
        QString kind; // "information", "error", "confirm", "password"
        QString text;
        QString caption;
    };
    QList<Shown> shown;
    QStringList texts() const;
    QString lastText() const { return shown.isEmpty() ? QString() : shown.last().text; }
    void clear() { shown.clear(); }

    // Answers; an empty queue answers Yes, cancels passwords and dialogs.
    QQueue<bool> confirmAnswers;
    QQueue<std::optional<QString>> passwordAnswers;
    QQueue<QString> fileAnswers;
    QStringList opened;  // openWithDesktop arguments
    QStringList started; // startProgram programs
    bool desktopCanOpen = true;
    int beeps = 0;

    void information(QWidget*, const QString& text, const QString& caption = {}) override;
    void error(QWidget*, const QString& text, const QString& caption = {}) override;
    bool confirm(QWidget*, const QString& text, const QString& caption) override;
    std::optional<QString> password(QWidget*, const QString& caption, const QString& prompt,
                                    const QString& defaultText, QChar mask) override;
    QString openFileName(QWidget*, const QString& caption, const QString& filter) override;
    QString saveFileName(QWidget*, const QString& caption, const QString& suggested,
                         const QString& filter) override;
    QString directory(QWidget*, const QString& caption) override;
    bool openWithDesktop(const QString& pathOrUrl) override;
    bool startProgram(const QString& program, const QStringList& arguments = {}) override;
    void beep() override { ++beeps; }
};
