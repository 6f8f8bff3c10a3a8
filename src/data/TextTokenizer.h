// The tokenizer of the catalogue's text index on SQLite ("tushu_grams"): every pair of
// neighbouring characters of a text is a token, and the last character with an end mark, so
// any part of a title, Chinese or not, is found through the index: a text of two characters
// or more by its pairs, one character by the tokens that start with it (a prefix query).
// ASCII letters are folded to lower case as SQLite's like folds them; nothing else is changed.
#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

namespace TextTokenizer {
inline constexpr const char* kName = "tushu_grams";

// Makes the tokenizer known to the connection. False with *error set when the SQLite library
// offers no FTS5.
bool registerOn(sqlite3* connection, QString* error);

// The tokens of a text in the index's query form: the text itself when it is one character
// (to be asked as a prefix), otherwise its distinct pairs of neighbouring characters, at most
// kMostQueryTokens of them (a row holding the text holds every one of them; the caller's like keeps
// exactly the rows that hold the text).
inline constexpr int kMostQueryTokens = 24;
QStringList queryTokens(const QString& text);
} // namespace TextTokenizer
