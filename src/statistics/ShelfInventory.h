// The shelf inventory by scanner "扫描盘点": the operator picks a storage place (or every
// place) and scans the items on the shelf one by one. Each scan is stored at once in
// 盘点扫描 (an item counts once per inventory), so an unfinished inventory survives a closed
// window or a restart. At the end three lists compare the scans with the catalogue: items
// of the place neither scanned nor lent (missing), items scanned whose 存放位置 is another
// place (misplaced), and items scanned while no copy is on the shelf by the database and a
// loan is open (a loan never returned). The lists are statements over indexed columns, for
// the grid to read as it scrolls.
//
// Items are rows of 图书 and 期刊, found as the lending desk finds them: by 编号 or 条形码 in
// the table chosen.
#pragma once

#include "data/Database.h"
#include "data/ListSearch.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

struct InventoryRun
{
    int id = 0;
    QString place; // empty: every place
    QDateTime started;
    int scanned = 0; // items counted so far
};

struct InventoryScan
{
    bool found = false;   // an item of the table has that number or barcode
    bool counted = false; // the scan added an item (false for the second scan of one)
    QString message;      // why nothing was counted (the desk's "no such item" text)
    QString 编号;
    QString 名称;
    QString 存放位置;
    int scanned = 0;   // items counted so far in the inventory
    int uncounted = 0; // items of the same number or barcode still not counted
};

class ShelfInventory
{
public:
    explicit ShelfInventory(const Database& db = Database::shared());

    // The storage places to choose from (存放位置.存放位置名).
    QStringList places() const;
    // The inventory started last and not finished yet, if any.
    std::optional<InventoryRun> unfinished() const;
    // Starts an inventory of a place (empty: every place) by the operator.
    InventoryRun start(const QString& place, const QString& operatorName) const;
    // Scans an item of table ("图书" or "期刊") by key ("编号" or "条形码"). Items sharing a
    // barcode (the issues of a periodical) count one per scan, until all are counted.
    // Unknown items are not stored.
    InventoryScan scan(int inventory, const QString& table, const QString& key,
                       const QString& text) const;
    int scannedCount(int inventory) const;
    // Marks the inventory finished; its lists stay available.
    void finish(int inventory) const;

    // The three lists: 类别, 编号, 名称, 条形码, 存放位置, 数量 (and for the loans 读者编号,
    // 读者姓名, 联系电话, 借阅日期, 应还日期). An inventory of every place has no misplaced
    // items.
    ListStatement missing(const InventoryRun& run) const;
    ListStatement misplaced(const InventoryRun& run) const;
    ListStatement onLoan(const InventoryRun& run) const;

    static QString resumeQuestion(const InventoryRun& run);

private:
    const Database& db_;
};
