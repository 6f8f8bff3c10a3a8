#include "MarcMapping.h"

#include <QRegularExpression>

namespace {

using F = MarcFormat;
using V = MarcValue;

QList<MarcColumnRule> makeRules()
{
    auto rule = [](F format, const char* column, std::initializer_list<const char*> sources,
                   V value = V::Text) {
        QStringList s;
        for (const char* source : sources)
            s << QString::fromUtf8(source);
        return MarcColumnRule{format, QString::fromUtf8(column), s, value};
    };
    return {
        // CNMARC, whose subfields carry no ISBD punctuation. The holdings field 905 carries the
        // library's own barcode ($b), class
        // number ($d) and 种次号 ($e), so its class number comes before 690's.
        rule(F::Cnmarc, "isbn", {"010$a"}, V::Isbn),
        rule(F::Cnmarc, "价格", {"010$d"}, V::Price),
        rule(F::Cnmarc, "名称", {"200$a"}),
        rule(F::Cnmarc, "作者", {"200$f"}),
        rule(F::Cnmarc, "译者", {"200$g"}),
        rule(F::Cnmarc, "版次", {"205$a"}),
        rule(F::Cnmarc, "出版社", {"210$c"}),
        rule(F::Cnmarc, "出版时间", {"210$d"}),
        rule(F::Cnmarc, "页数", {"215$a"}, V::Pages),
        rule(F::Cnmarc, "简介", {"330$a"}),
        rule(F::Cnmarc, "分类号", {"905$d", "690$a"}),
        rule(F::Cnmarc, "条形码", {"905$b"}),
        rule(F::Cnmarc, "zch", {"905$e"}),
        rule(F::Cnmarc, "数量", {"905"}, V::Count),
        // MARC21. Holdings come in 852 (the standard: $p barcode, $h class, $i item part)
        // or 952 (as many systems export them: $p barcode, $o the whole call number).
        rule(F::Marc21, "isbn", {"020$a"}, V::Isbn),
        rule(F::Marc21, "价格", {"020$c"}, V::Price),
        rule(F::Marc21, "名称", {"245$a"}, V::Title),
        rule(F::Marc21, "作者", {"100$a", "245$c"}, V::Title),
        rule(F::Marc21, "译者", {"700$a"}, V::Translator),
        rule(F::Marc21, "版次", {"250$a"}, V::Title),
        rule(F::Marc21, "出版社", {"264$b", "260$b"}, V::Title),
        rule(F::Marc21, "出版时间", {"264$c", "260$c"}, V::Year),
        rule(F::Marc21, "页数", {"300$a"}, V::Pages),
        rule(F::Marc21, "简介", {"520$a"}),
        rule(F::Marc21, "分类号", {"852$h", "084$a", "082$a", "050$a"}),
        rule(F::Marc21, "分类号", {"952$o"}, V::CallClass),
        rule(F::Marc21, "条形码", {"852$p", "952$p"}),
        rule(F::Marc21, "zch", {"852$i"}, V::Serial),
        rule(F::Marc21, "zch", {"952$o"}, V::CallSerial),
        rule(F::Marc21, "数量", {"852", "952"}, V::Count),
    };
}

QString title(QString text)
{
    static const QRegularExpression trailing(QStringLiteral("[\\s/:;,=.]+$"));
    text = text.trimmed();
    text.remove(trailing);
    return text;
}

QString firstMatch(const QString& text, const QRegularExpression& pattern)
{
    const QRegularExpressionMatch m = pattern.match(text);
    return m.hasMatch() ? m.captured(0) : QString();
}

QString wholeNumber(const QString& text)
{
    static const QRegularExpression digitsOnly(QStringLiteral("^[0-9]+$"));
    const QString t = text.trimmed();
    return digitsOnly.match(t).hasMatch() ? t : QString();
}

bool isTranslator(const MarcField& f)
{
    for (const QString& r : f.values(QLatin1Char('4')))
        if (r.trimmed() == QLatin1String("trl"))
            return true;
    for (const QString& r : f.values(QLatin1Char('e'))) {
        const QString t = r.trimmed().toLower();
        if (t.startsWith(QLatin1String("transl")) || t.contains(QStringLiteral("译")))
            return true;
    }
    return false;
}

// "TP393/12": the class before the last "/", the 种次号 after it when it is a number.
std::pair<QString, QString> splitCallNumber(const QString& callNumber)
{
    const qsizetype slash = callNumber.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return {callNumber.trimmed(), QString()};
    return {callNumber.left(slash).trimmed(), callNumber.mid(slash + 1).trimmed()};
}

std::optional<QString> valueOf(const MarcRecord& record, const MarcColumnRule& rule,
                               const QString& source)
{
    const QString tag = source.left(3);
    if (rule.value == V::Count) {
        const qsizetype n = record.fieldsOf(tag).size();
        return n > 0 ? std::optional<QString>(QString::number(n)) : std::nullopt;
    }
    const QChar code = source.size() > 4 ? source.at(4) : QChar();
    for (const MarcField* f : record.fieldsOf(tag)) {
        if (rule.value == V::Translator && !isTranslator(*f))
            continue;
        const QStringList values = f->values(code);
        if (values.isEmpty())
            continue;
        const QString text = values.first();
        static const QRegularExpression isbn(QStringLiteral("[0-9][0-9Xx-]*"));
        static const QRegularExpression amount(QStringLiteral("[0-9]+(\\.[0-9]+)?"));
        static const QRegularExpression number(QStringLiteral("^\\s*[0-9]+"));
        switch (rule.value) {
        case V::Text:
            return text.trimmed();
        case V::Title:
        case V::Translator:
            return title(text);
        case V::Isbn:
            return firstMatch(text, isbn);
        case V::Price:
            return firstMatch(text, amount);
        case V::Pages:
            return firstMatch(text, number).trimmed();
        case V::Year: {
            QString t = text.trimmed();
            t.remove(QLatin1Char('[')).remove(QLatin1Char(']'));
            return title(t);
        }
        case V::CallClass:
            return splitCallNumber(text).first;
        case V::Serial:
            return wholeNumber(text);
        case V::CallSerial:
            return wholeNumber(splitCallNumber(text).second);
        case V::Count:
            break;
        }
    }
    return std::nullopt;
}

} // namespace

namespace MarcMapping {

const QList<MarcColumnRule>& rules()
{
    static const QList<MarcColumnRule> table = makeRules();
    return table;
}

MarcColumns columns(const MarcRecord& record, MarcFormat format)
{
    MarcColumns out;
    for (const MarcColumnRule& rule : rules()) {
        if (rule.format != format || out.contains(rule.column))
            continue;
        for (const QString& source : rule.sources) {
            const std::optional<QString> v = valueOf(record, rule, source);
            if (v && !v->isEmpty()) {
                out.insert(rule.column, *v);
                break;
            }
        }
    }
    return out;
}

QString holdingsTag(MarcFormat format)
{
    return format == MarcFormat::Cnmarc ? QStringLiteral("905") : QStringLiteral("852");
}

QString isbnKey(const QString& isbn)
{
    QString key;
    for (QChar c : isbn)
        if (c.isDigit() || c == QLatin1Char('X') || c == QLatin1Char('x'))
            key += c.toUpper();
    return key;
}

} // namespace MarcMapping
