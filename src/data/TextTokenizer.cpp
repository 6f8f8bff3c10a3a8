#include "TextTokenizer.h"

#include <sqlite3.h>

namespace {

// Byte length of the UTF-8 character that starts with this byte; a byte that starts none
// (a continuation or an invalid lead) counts as one, so a broken text still advances.
int utf8Length(unsigned char lead)
{
    if (lead < 0xC0)
        return 1;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    if (lead < 0xF8)
        return 4;
    return 1;
}

constexpr int kDigitRun = 3;

bool digitsOnly(const char* text, int length)
{
    for (int i = 0; i < length; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

struct Tokenizer
{
};

int createTokenizer(void*, const char**, int, Fts5Tokenizer** out)
{
    *out = reinterpret_cast<Fts5Tokenizer*>(new Tokenizer);
    return SQLITE_OK;
}

void deleteTokenizer(Fts5Tokenizer* t)
{
    delete reinterpret_cast<Tokenizer*>(t);
}

// Copies the characters [start, end) of the text into buf, ASCII letters in lower case.
int folded(const char* text, int start, int end, char* buf)
{
    int n = 0;
    for (int i = start; i < end; ++i) {
        const char c = text[i];
        buf[n++] = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    return n;
}

int tokenize(Fts5Tokenizer*, void* ctx, int flags, const char* text, int length,
             int (*addToken)(void*, int, const char*, int, int, int))
{
    // Offsets of the characters: a pair is the text from one start to the start after next.
    const bool query = (flags & FTS5_TOKENIZE_QUERY) != 0;
    char buf[8];
    int first = 0;
    int second =
        first < length ? first + utf8Length(static_cast<unsigned char>(text[first])) : length;
    if (second > length)
        second = length;
    if (query && second >= length && first < length) {
        // One character: its own token.
        return addToken(ctx, 0, buf, folded(text, first, second, buf), first, second);
    }
    while (first < length) {
        int third = second < length ? second + utf8Length(static_cast<unsigned char>(text[second]))
                                    : length;
        if (third > length)
            third = length;
        int rc = SQLITE_OK;
        const bool digitRun = first + kDigitRun <= length && digitsOnly(text + first, kDigitRun);
        if (query && digitRun) {
            // Asked by the run of three digits from here rather than the pair.
            rc = addToken(ctx, 0, text + first, kDigitRun, first, first + kDigitRun);
        } else if (second < length) {
            rc = addToken(ctx, 0, buf, folded(text, first, third, buf), first, third);
            // The character alone at the same place, for searches of one character.
            if (rc == SQLITE_OK && !query)
                rc = addToken(ctx, FTS5_TOKEN_COLOCATED, buf, folded(text, first, second, buf),
                              first, second);
            // Three digits at the same place: every ISBN shares its pairs of digits with
            // nearly every book, runs of three narrow a search of digits far more.
            if (rc == SQLITE_OK && !query && digitRun)
                rc = addToken(ctx, FTS5_TOKEN_COLOCATED, text + first, kDigitRun, first,
                              first + kDigitRun);
        } else if (!query) {
            rc = addToken(ctx, 0, buf, folded(text, first, second, buf), first, second);
        }
        if (rc != SQLITE_OK)
            return rc;
        first = second;
        second = third;
    }
    return SQLITE_OK;
}

fts5_api* ftsOf(sqlite3* connection)
{
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(connection, "SELECT fts5(?1)", -1, &statement, nullptr) != SQLITE_OK)
        return nullptr;
    sqlite3_bind_pointer(statement, 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(statement);
    sqlite3_finalize(statement);
    return api;
}

} // namespace

bool TextTokenizer::registerOn(sqlite3* connection, QString* error)
{
    fts5_api* api = ftsOf(connection);
    if (!api || api->iVersion < 2) {
        if (error)
            *error = QStringLiteral("SQLite 没有 FTS5 全文索引.");
        return false;
    }
    fts5_tokenizer methods{createTokenizer, deleteTokenizer, tokenize};
    if (api->xCreateTokenizer(api, kName, nullptr, &methods, nullptr) != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(connection));
        return false;
    }
    return true;
}
