// Creating a new library: the database with every table and its first rows, and the de.ini
// that points at it.
#pragma once

#include <QString>
#include <functional>

class Database;

namespace LibraryInit {
// Creates DIR (if needed), DIR/book.mdb (refusing to overwrite an existing one) and
// DIR/de.ini. With serverConnectionString non-empty the tables are created in that
// PostgreSQL database instead and de.ini names it with abc=s.
// With demo, the sample library is added, then demoHistory (when given) adds its loans in
// the same run: the desk's rules that make them live above this folder.
// Returns false with *error filled on failure; nothing half-made is left behind.
bool create(const QString& dir, bool demo, const QString& serverConnectionString, QString* error,
            const std::function<void(const Database&)>& demoHistory = {});

// The de.ini content of a new installation (UTF-8 text; SettingsFile stores it in GBK).
bool writeSettingsFile(const QString& path, const QString& kind, const QString& connectionString,
                       QString* error);
} // namespace LibraryInit
