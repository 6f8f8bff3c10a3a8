// Connects the desk's two pickers to the lending screen: a double-click in its reader or
// item field opens the picker, and the chosen number goes through the screen's own check.
#pragma once

void installLendingPickers();
