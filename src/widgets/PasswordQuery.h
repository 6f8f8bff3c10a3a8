// The masked text box: caption, a wrapping prompt, one input (at most 255 characters,
// shown as the mask character, starting with the default text all selected), "OK" (Enter)
// and "Cancel" (Esc).
#pragma once

#include <QDialog>

class QLineEdit;

class PasswordQueryDialog : public QDialog
{
    Q_OBJECT
public:
    PasswordQueryDialog(QWidget* parent, const QString& caption, const QString& prompt,
                        const QString& defaultText, QChar mask);
    QString value() const;
    QLineEdit* input() const { return input_; }

private:
    QLineEdit* input_;
};

// Returns accepted and, when accepted, the typed text; value stays at the default otherwise.
bool PasswordQuery(QWidget* parent, const QString& caption, const QString& prompt,
                   const QString& defaultText, QChar mask, QString* value);
