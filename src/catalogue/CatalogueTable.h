// What tells books and periodical issues apart: each table described once (its name, the
// statements of its list, the columns searched, shown, summed, exported and printed, the
// rights of the list's buttons, the columns an edit may write). The list, the edit, the
// stock change and the guarded delete are built once over such a description.
#pragma once

#include "data/ListSearch.h"
#include "data/LoginState.h"

#include <QList>
#include <QString>
#include <QStringList>

struct CatalogueTable
{
    ListDescription list;
    QString table;    // 图书 or 期刊
    QString itemWord; // how messages name one row: 图书, 期刊
    bool totalsLine = false;
    bool labels = false;
    bool Rights::*addRight = nullptr;
    bool Rights::*editRight = nullptr;
    bool Rights::*deleteRight = nullptr;
    QString editCaption; // 编辑 or 修改
    QString editObjectName;
    // Columns an edit never writes: the desk's counters and reservations.
    QStringList deskColumns;

    static const CatalogueTable& books();
    static const CatalogueTable& periodicals();
};
