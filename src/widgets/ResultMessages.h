// How a screen shows what a rules class returned: every message through the Messenger, in
// order, and the question of a check before a deletion.
#pragma once

#include "data/RuleResult.h"

class QWidget;

// Shows the messages of result: as errors when it failed, as information otherwise.
void showResult(QWidget* parent, const RuleResult& result);

// Whether the screen goes on after check: a Confirm result asks its question (true on Yes),
// Done goes on without a question, a refusal or failure is shown (false) and Nothing stops
// without a word.
bool confirmResult(QWidget* parent, const RuleResult& check);
