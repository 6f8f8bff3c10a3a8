// The periodical edit screen: every field of one issue, copies and loans included.
#pragma once

#include "ItemEditScreen.h"

class TQkEditFm : public ItemEditScreen
{
    Q_OBJECT
public:
    explicit TQkEditFm(const QString& number, QWidget* parent = nullptr);

protected:
    void afterSave() override;
};
