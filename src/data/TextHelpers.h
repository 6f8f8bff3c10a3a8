// Pinyin initials for the quick-search columns `py`, and the dialect's delimiters.
#pragma once

#include <QByteArray>
#include <QString>

// Upper-case initial ('A'..'Z' without I, U, V) of the GB2312 level-1 character coded by
// the first two GBK bytes, or ' ' for any other pair.
QChar PinyinInitial(const QByteArray& gbkBytes);
QChar PinyinInitial(const QString& text);

// One initial per byte pair of the GBK form of text, pairs taken from the start whatever
// the characters are; an odd last byte is dropped. Nothing is trimmed.
QString PinyinInitials(const QString& text);

// Delimiters of the active database kind (LoginState::DbKind): "\"" and "#" for "a",
// "'" and "'" for "s", empty for any other kind. Values always travel as bound
// parameters; these serve the texts that show or log a statement.
QString StringDelimiter();
QString DateDelimiter();
QString StringDelimiter(const QString& dbKind);
QString DateDelimiter(const QString& dbKind);
