// Renewal: finds one open loan of a reader by item number and moves its due date.
//
// The loan found by the last find() is the only one renew() ever writes; a search that
// finds nothing forgets the earlier loan, so a renewal after a failed search does nothing.
#pragma once

#include "data/Database.h"

#include <QDate>
#include <QString>
#include <optional>

struct RenewalLoan
{
    qint64 id = 0;
    QString 读者编号;
    QString 读者姓名;
    QString 编号;
    QString 名称;
    QDate 借阅日期;
    QDate 应还日期;
};

class Renewal
{
public:
    explicit Renewal(const Database& db) : db_(db) {}

    // Looks up the first open loan (lowest id) of the reader for the item number. Returns
    // true and remembers it when found; otherwise forgets any loan found before. A loan
    // whose 应还日期 is empty throws the conversion error (and is not remembered).
    bool find(const QString& readerNumber, const QString& itemNumber);
    const std::optional<RenewalLoan>& loan() const { return loan_; }

    // Writes the new due date into the remembered loan, only while it is still open, and
    // forgets it. Returns false (writing nothing) when no loan is remembered. Throws
    // DbError when the loan was returned or removed meanwhile, or on a database error.
    bool renew(const QDate& newDueDate);
    // Forgets the loan without writing.
    void cancel() { loan_.reset(); }

    // The statement a search runs, with its values between the dialect's string delimiters,
    // as the desk shows it after a failed search.
    static QString searchStatementText(const QString& readerNumber, const QString& itemNumber);

    static QString notFoundMessage();
    static QString doneMessage();
    static QString loanGoneMessage();

private:
    const Database& db_;
    std::optional<RenewalLoan> loan_;
};
