// What a rules class made of a request, for the screen to show: whether it was written,
// refused or failed, the texts to show in that order, and, for a check before a deletion,
// the question the operator answers before the screen goes on.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class Database;

struct RuleResult
{
    enum Status
    {
        Done,    // written; the messages (if any) are shown as information
        Confirm, // allowed once the operator answers Yes to question; nothing written yet
        Refused, // a check refused it; nothing written; the messages are shown as information
        Failed,  // a database error; nothing written; its text is shown as an error
        Nothing, // nothing to do; nothing written, nothing shown
    };
    Status status = Nothing;
    QStringList messages; // shown in order
    QString question;     // with status Confirm
    QString caption;      // of the question

    bool done() const { return status == Done; }

    static RuleResult written(const QStringList& messages = {}) { return {Done, messages, {}, {}}; }
    static RuleResult ask(const QString& question, const QString& caption)
    {
        return {Confirm, {}, question, caption};
    }
    static RuleResult refused(const QString& message) { return {Refused, {message}, {}, {}}; }
    static RuleResult failed(const QString& message) { return {Failed, {message}, {}, {}}; }
    static RuleResult nothing() { return {}; }

    // Runs step in one transaction of db; step returns why it refused (empty when it
    // wrote, so a refusing step writes nothing). Done, Refused with that text, or Failed with
    // the database's message.
    static RuleResult transaction(const Database& db, const std::function<QString()>& step);
};
