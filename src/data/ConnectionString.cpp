#include "ConnectionString.h"

ConnectionString::ConnectionString(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype eq = text.indexOf(QLatin1Char('='), i);
        if (eq < 0)
            break;
        const QString key = text.mid(i, eq - i).trimmed();
        i = eq + 1;
        QString value;
        while (i < n && text[i] == QLatin1Char(' '))
            ++i;
        if (i < n && (text[i] == QLatin1Char('"') || text[i] == QLatin1Char('\''))) {
            const QChar quote = text[i++];
            while (i < n) {
                if (text[i] == quote) {
                    if (i + 1 < n && text[i + 1] == quote) { // doubled quote
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            const qsizetype semi = text.indexOf(QLatin1Char(';'), i);
            i = semi < 0 ? n : semi + 1;
        } else {
            const qsizetype semi = text.indexOf(QLatin1Char(';'), i);
            value = text.mid(i, (semi < 0 ? n : semi) - i).trimmed();
            i = semi < 0 ? n : semi + 1;
        }
        if (!key.isEmpty())
            pairs_.append({key, value});
    }
}

QString ConnectionString::value(const QString& key, const QString& defaultValue) const
{
    for (const auto& [k, v] : pairs_)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    return defaultValue;
}

bool ConnectionString::has(const QString& key) const
{
    for (const auto& p : pairs_)
        if (p.first.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString ConnectionString::builtInAccess()
{
    return QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=book.mdb;Mode=Share Deny "
        "None;Extended Properties=\"\";Persist Security Info=False;Jet OLEDB:System "
        "database=\"\";Jet OLEDB:Registry Path=\"\";Jet OLEDB:Database Password=583920461;Jet "
        "OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global Partial Bulk "
        "Ops=2;Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New Database Password=\"\";Jet "
        "OLEDB:Create System Database=False;Jet OLEDB:Encrypt Database=False;Jet OLEDB:Don't "
        "Copy Locale on Compact=False;Jet OLEDB:Compact Without Replica Repair=False;Jet "
        "OLEDB:SFP=False");
}
