// The rules of the lookup-table editors: reading a table, checking and writing a row,
// and the deletion rule. Rows are addressed by their name (the first column), which the
// other tables hold as text; two rows of one table never share a name. What happened comes
// back with its message texts; the editor screen shows them and asks the questions.
#pragma once

#include "DictionaryTable.h"
#include "data/RuleResult.h"

#include <QList>
#include <QString>
#include <QStringList>

class Database;

class DictionaryRules
{
public:
    DictionaryRules(const Database& db, const DictionaryTable& table);

    const DictionaryTable& table() const { return table_; }
    // Every column of the table, in table order.
    QStringList columns() const;
    // The columns the grid shows, in the order shown.
    QStringList gridColumns() const;

    // The rows of the table in the database's order, each value as text in the order of
    // columns(): amounts without trailing zeros, NULL as empty text.
    QList<QStringList> rows() const;
    // The texts of the input fields for a row of rows().
    QStringList fieldTexts(const QStringList& row) const;

    // Whether the name field stays locked while the row with this name is edited.
    bool nameLocked(const QString& name) const;

    // The question asked before the row whose first column holds firstColumnText is deleted.
    static QString deleteQuestion(const QString& firstColumnText);
    // Asked before the row with this name is deleted: the deletion rule's refusal (a
    // protected name, the last row), or the question.
    RuleResult removeCheck(const QString& name) const;
    // The delete once the question is answered Yes. The protected name stays, and so does
    // the last row when the others went meanwhile; Done when deleted, Nothing when the row
    // itself had gone.
    RuleResult remove(const QString& name) const;

    // Why the field texts (in field order) cannot be saved, or empty text when they can.
    // originalName is the name of the row being changed; empty when adding.
    QString refusal(const QStringList& fieldTexts, const QString& originalName = {}) const;
    // Write a new row, or change the row named originalName. Done when written; a refusal,
    // or Failed with the database's text.
    RuleResult add(const QStringList& fieldTexts) const;
    RuleResult change(const QString& originalName, const QStringList& fieldTexts) const;

private:
    QVariantList boundValues(const QStringList& fieldTexts) const;
    bool nameTaken(const QString& name) const;
    bool exists(const QString& name) const;

    const Database& db_;
    const DictionaryTable& table_;
};
