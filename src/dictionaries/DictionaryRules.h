// The rules of the lookup-table editors: reading a table, checking and writing a row,
// and the deletion rule. The tables have no key of their own and may hold two rows of one
// name (a publisher under two ISBN prefixes, or rows stored before names were checked), so
// a row is addressed by every column as the editor read it, and a delete or change reaches
// one row only. What happened comes back with its message texts; the editor screen shows
// them and asks the questions.
#pragma once

#include "DictionaryTable.h"
#include "data/RuleResult.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class Database;

// One row of a lookup table as the editor read it.
struct DictionaryRow
{
    QStringList texts;   // every column as text, in the order of DictionaryRules::columns()
    QVariantList values; // the same columns as read (invalid: the table lacks the column)

    QString name() const { return texts.value(0); }
    bool operator==(const DictionaryRow&) const = default;
};

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
    QList<DictionaryRow> rows() const;
    // The texts of the input fields for a row of rows().
    QStringList fieldTexts(const DictionaryRow& row) const;

    // Whether the name field stays locked while the row with this name is edited.
    bool nameLocked(const QString& name) const;

    // The question asked before the row whose first column holds firstColumnText is deleted.
    static QString deleteQuestion(const QString& firstColumnText);
    // Asked before row is deleted: the deletion rule's refusal (a protected name, the last
    // row of the table), or the question.
    RuleResult removeCheck(const DictionaryRow& row) const;
    // The delete of row (one row, even when another holds the same values) once the
    // question is answered Yes. The protected name stays, and so does the last row when the
    // others went meanwhile; Done when deleted, Nothing when the row itself had gone.
    RuleResult remove(const DictionaryRow& row) const;

    // Why the field texts (in field order) cannot be saved, or empty text when they can.
    // original is the row being changed; nullptr when adding.
    QString refusal(const QStringList& fieldTexts, const DictionaryRow* original = nullptr) const;
    // Write a new row, or change the row original (that row only). Done when written; a
    // refusal, or Failed with the database's text.
    RuleResult add(const QStringList& fieldTexts) const;
    RuleResult change(const DictionaryRow& original, const QStringList& fieldTexts) const;

private:
    QVariantList boundValues(const QStringList& fieldTexts) const;
    // Whether a row holds these texts in the fields that tell its rows apart.
    bool taken(const QStringList& fieldTexts) const;
    // "where" condition and values that find the rows equal to row in every column.
    QString matching(const DictionaryRow& row, QVariantList* values) const;
    // "where" condition and values that reach one row equal to row.
    QString oneRow(const DictionaryRow& row, QVariantList* values) const;
    bool exists(const DictionaryRow& row) const;

    const Database& db_;
    const DictionaryTable& table_;
};
