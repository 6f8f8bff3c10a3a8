// The one mapping between the fields of the two MARC formats and the columns of 图书, used
// by the import (record -> columns) and the export (columns -> record). Each column is
// taken from the first of its sources that the record holds.
#pragma once

#include "MarcRecord.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// How a field's text becomes a column's value.
enum class MarcValue
{
    Text,       // as given, trimmed
    Title,      // without the ISBD punctuation that ends it (" /", " :", " ;", ".")
    Isbn,       // the number without a qualifier such as "(pbk.)"
    Price,      // the amount without its currency: "CNY35.00" -> "35.00"
    Pages,      // the leading whole number: "235页" -> "235"
    Year,       // the date without brackets and final full stop: "[2004]." -> "2004"
    Translator, // a MARC21 700 whose relator ($e or $4) names a translator
    Serial,     // a whole number only: 852$i may hold a cutter ("C15"), which is no 种次号
    Count,      // how many of the field the record holds (copies: one holdings field each)
    CallClass,  // the class number of a call number "TP393/12"
    CallSerial, // the 种次号 of a call number "TP393/12"
};

struct MarcColumnRule
{
    MarcFormat format;
    QString column;      // of 图书
    QStringList sources; // "tag$code" (or a tag alone for Count), in order of preference
    MarcValue value = MarcValue::Text;
};

// The columns a record gives, by the name of their 图书 column; absent when the record has
// none of the sources.
using MarcColumns = QHash<QString, QString>;

namespace MarcMapping {
const QList<MarcColumnRule>& rules();
MarcColumns columns(const MarcRecord& record, MarcFormat format);
// The holdings field of the format as this program writes it ("905" or "852").
QString holdingsTag(MarcFormat format);
// The digits and X of an ISBN, so that "7-115-11311-5" and "7115113115" are one number.
QString isbnKey(const QString& isbn);
} // namespace MarcMapping
