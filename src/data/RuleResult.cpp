#include "RuleResult.h"

#include "Database.h"

RuleResult RuleResult::transaction(const Database& db, const std::function<QString()>& step)
{
    try {
        QString refusal;
        db.transaction([&] { refusal = step(); });
        return refusal.isEmpty() ? written() : refused(refusal);
    } catch (const DbError& e) {
        return failed(e.message());
    }
}
