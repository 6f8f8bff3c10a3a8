// The tokenizer of the catalogue's text index on SQLite ("tushu_grams"): every character of a
// text and every pair of neighbouring characters is a token, so any part of a title, Chinese
// or not, one character long or longer, is found through the index. ASCII letters are folded
// to lower case as SQLite's like folds them; nothing else is changed. A text of two characters
// or more is asked as the phrase of its pairs, each at the place after the one before; one
// character as itself, at the place of the pair it starts. Three ASCII digits in a row are a
// token too, at the place of the pair they start, and are asked instead of that pair.
#pragma once

#include <QString>

struct sqlite3;

namespace TextTokenizer {
inline constexpr const char* kName = "tushu_grams";

// Makes the tokenizer known to the connection. False with *error set when the SQLite library
// offers no FTS5.
bool registerOn(sqlite3* connection, QString* error);

} // namespace TextTokenizer
