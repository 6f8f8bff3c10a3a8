// Every message box, confirmation, password box, file dialog and "open with the default
// application" of the screens goes through the current Messenger. The program uses Qt's
// dialogs; tests install a recorder that answers and keeps each text.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

class Messenger
{
public:
    virtual ~Messenger() = default;

    // A modal message with an OK button; caption empty means the application title.
    virtual void information(QWidget* parent, const QString& text, const QString& caption = {}) = 0;
    // The same with an error icon (database errors and other failures with their own text).
    virtual void error(QWidget* parent, const QString& text, const QString& caption = {}) = 0;
    // A Yes/No question; true for Yes.
    virtual bool confirm(QWidget* parent, const QString& text, const QString& caption) = 0;
    // The masked text box; nullopt when cancelled.
    virtual std::optional<QString> password(QWidget* parent, const QString& caption,
                                            const QString& prompt, const QString& defaultText,
                                            QChar mask) = 0;
    // File dialogs; empty text when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& caption,
                                 const QString& filter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                                 const QString& filter) = 0;
    virtual QString directory(QWidget* parent, const QString& caption) = 0;
    // Opens a file or program with the desktop; false when nothing could open it.
    virtual bool openWithDesktop(const QString& pathOrUrl) = 0;
    // Starts a program by name; false when it is missing.
    virtual bool startProgram(const QString& program, const QStringList& arguments = {}) = 0;
    virtual void beep() = 0;

    static Messenger& instance();
    // Installs a messenger (tests); nullptr restores Qt's dialogs. Not owned.
    static void install(Messenger* messenger);
};

class QtMessenger : public Messenger
{
public:
    void information(QWidget* parent, const QString& text, const QString& caption = {}) override;
    void error(QWidget* parent, const QString& text, const QString& caption = {}) override;
    bool confirm(QWidget* parent, const QString& text, const QString& caption) override;
    std::optional<QString> password(QWidget* parent, const QString& caption, const QString& prompt,
                                    const QString& defaultText, QChar mask) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                         const QString& filter) override;
    QString directory(QWidget* parent, const QString& caption) override;
    bool openWithDesktop(const QString& pathOrUrl) override;
    bool startProgram(const QString& program, const QStringList& arguments = {}) override;
    void beep() override;
};
