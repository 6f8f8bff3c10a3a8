#include "MarcMapping.h"

#include <array>
#include <optional>

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

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool endsTitle(QChar c)
{
    return c.isSpace() || QStringView(u"/:;,=.").contains(c);
}

// Without the ISBD punctuation (and blanks) that ends it.
QString title(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && endsTitle(text.at(end - 1)))
        --end;
    qsizetype start = 0;
    while (start < end && text.at(start).isSpace())
        ++start;
    return text.sliced(start, end - start);
}

// The run of digits (and of the characters more allows) that starts at the first digit.
QString firstNumber(const QString& text, QStringView more = {})
{
    qsizetype start = 0;
    while (start < text.size() && !isAsciiDigit(text.at(start)))
        ++start;
    qsizetype end = start;
    while (end < text.size() && (isAsciiDigit(text.at(end)) || more.contains(text.at(end))))
        ++end;
    return text.sliced(start, end - start);
}

// "CNY35.00" -> "35.00": digits, then a point and digits when both are there.
QString amount(const QString& text)
{
    const QString whole = firstNumber(text);
    if (whole.isEmpty())
        return whole;
    const qsizetype after = text.indexOf(whole) + whole.size();
    if (after + 1 < text.size() && text.at(after) == QLatin1Char('.') &&
        isAsciiDigit(text.at(after + 1)))
        return whole + QLatin1Char('.') + firstNumber(text.sliced(after + 1));
    return whole;
}

// The leading whole number, after blanks: "235页" -> "235", "约235页" -> "".
QString leadingNumber(const QString& text)
{
    qsizetype start = 0;
    while (start < text.size() && text.at(start).isSpace())
        ++start;
    qsizetype end = start;
    while (end < text.size() && isAsciiDigit(text.at(end)))
        ++end;
    return text.sliced(start, end - start);
}

QString wholeNumber(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return t;
    for (QChar c : t)
        if (!isAsciiDigit(c))
            return QString();
    return t;
}

bool isTranslator(const MarcField& f)
{
    for (const MarcSubfield& s : f.subfields) {
        if (s.code == QLatin1Char('4') && s.value.trimmed() == QLatin1String("trl"))
            return true;
        if (s.code == QLatin1Char('e')) {
            const QString t = s.value.trimmed().toLower();
            if (t.startsWith(QLatin1String("transl")) || t.contains(QStringLiteral("译")))
                return true;
        }
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

QString convert(MarcValue kind, const QString& text)
{
    switch (kind) {
    case V::Text:
        return text.trimmed();
    case V::Title:
    case V::Translator:
        return title(text);
    case V::Isbn:
        return firstNumber(text, u"Xx-");
    case V::Price:
        return amount(text);
    case V::Pages:
        return leadingNumber(text);
    case V::Year: {
        QString t = text;
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
    return {};
}

// A rule's sources split once into tag and subfield code.
struct Source
{
    QString tag;
    QChar code;
};

struct CompiledRule
{
    const MarcColumnRule* rule;
    QList<Source> sources;
};

std::optional<QString> valueOf(const MarcRecord& record, MarcValue kind, const Source& source)
{
    if (kind == V::Count) {
        qsizetype n = 0;
        for (const MarcField& f : record.fields)
            n += f.tag == source.tag ? 1 : 0;
        return n > 0 ? std::optional<QString>(QString::number(n)) : std::nullopt;
    }
    for (const MarcField& f : record.fields) {
        if (f.tag != source.tag || (kind == V::Translator && !isTranslator(f)))
            continue;
        for (const MarcSubfield& s : f.subfields)
            if (s.code == source.code)
                return convert(kind, s.value);
    }
    return std::nullopt;
}

const QList<CompiledRule>& compiledRules(MarcFormat format);

const QList<CompiledRule>& compiledRules(MarcFormat format)
{
    static const std::array<QList<CompiledRule>, 2> byFormat = [] {
        std::array<QList<CompiledRule>, 2> out;
        for (const MarcColumnRule& rule : MarcMapping::rules()) {
            CompiledRule c{&rule, {}};
            for (const QString& source : rule.sources)
                c.sources.push_back({source.left(3), source.size() > 4 ? source.at(4) : QChar()});
            out[size_t(rule.format)].push_back(std::move(c));
        }
        return out;
    }();
    return byFormat[size_t(format)];
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
    out.reserve(20);
    for (const CompiledRule& compiled : compiledRules(format)) {
        const MarcColumnRule& rule = *compiled.rule;
        if (out.contains(rule.column))
            continue;
        for (const Source& source : compiled.sources) {
            std::optional<QString> v = valueOf(record, rule.value, source);
            if (v && !v->isEmpty()) {
                out.insert(rule.column, std::move(*v));
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
