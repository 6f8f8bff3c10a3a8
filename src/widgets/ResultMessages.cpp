#include "ResultMessages.h"

#include "Messenger.h"

void showResult(QWidget* parent, const RuleResult& result)
{
    Messenger& m = Messenger::instance();
    for (const QString& text : result.messages) {
        if (result.status == RuleResult::Failed)
            m.error(parent, text);
        else
            m.information(parent, text);
    }
}

bool confirmResult(QWidget* parent, const RuleResult& check)
{
    switch (check.status) {
    case RuleResult::Confirm:
        return Messenger::instance().confirm(parent, check.question, check.caption);
    case RuleResult::Done:
        return true;
    case RuleResult::Refused:
    case RuleResult::Failed:
        showResult(parent, check);
        return false;
    case RuleResult::Nothing:
        return false;
    }
    return false;
}
