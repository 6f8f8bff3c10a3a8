// Qt's own texts (the buttons of message boxes, the file, print and preview dialogs) in
// simplified Chinese, from the translations Qt installs beside itself.
#pragma once

#include <QString>

// Loads qtbase_zh_CN from directory (Qt's translations folder when empty) into the
// application. Returns false when the file is missing or unreadable: the program then
// starts with Qt's English texts.
bool installChineseTranslations(const QString& directory = {});
