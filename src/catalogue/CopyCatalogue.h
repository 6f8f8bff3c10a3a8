// Rules of copy cataloguing (联机编目): the Z39.50 and SRU targets kept in the library, and
// what a found record puts into the fields of book entry.
#pragma once

#include "BookEntry.h"
#include "marc/ZoomSearch.h"

namespace CopyCatalogue {
// How long a search waits for its targets.
constexpr int kTimeoutMilliseconds = 10000;

QList<ZoomTarget> targets(const Database& db);
// Replaces the kept targets with these, in one transaction. Throws DbError.
void saveTargets(const Database& db, const QList<ZoomTarget>& targets);

// The texts the targets table keeps for a target's protocol, format and character set.
QString protocolText(bool sru);
QString formatText(MarcFormat format);
QString encodingText(MarcEncoding encoding);
// And back: the text of the table to the value (MARC21 and UTF-8 for unknown texts).
MarcFormat formatOf(const QString& text);
MarcEncoding encodingOf(const QString& text);

// The entry's fields with what the record gives put in; the others as they were.
BookRecord fill(BookRecord fields, const MarcColumns& found);
} // namespace CopyCatalogue
