// The barcode label printed after a book is saved: the book number, call number, class
// number and title beside their captions, and the barcode in Code 39.
#pragma once

#include "BookEntry.h"
#include "report/Report.h"

namespace BookLabel {
// The label template: one small page with one data band printed once; the fourth caption
// names the title ("书名" on the entry screen, "名称:" on the book list).
Report report(const QString& titleCaption = QStringLiteral("书名"));
// The label of the fields as they stand on the entry screen.
PreparedReport prepare(const BookRecord& fields);
// The label of a stored book: 编号 always, 索书号, 分类号 and 名称 only when not null, the
// barcode from 条形码.
PreparedReport prepare(const QVariantMap& book);
} // namespace BookLabel
