#include "MarcWriter.h"

#include <yaz/marcdisp.h>
#include <yaz/wrbuf.h>

namespace {

// The first source of each rule is where the writer puts the column.
struct Place
{
    QString tag;
    QChar code;
};

QList<std::pair<QString, Place>> places(MarcFormat format)
{
    QList<std::pair<QString, Place>> out;
    for (const MarcColumnRule& rule : MarcMapping::rules()) {
        if (rule.format != format || rule.value == MarcValue::Count ||
            rule.value == MarcValue::CallClass || rule.value == MarcValue::CallSerial)
            continue;
        const QString& source = rule.sources.first();
        if (source.size() == 5)
            out.push_back({rule.column, {source.left(3), source.at(4)}});
    }
    return out;
}

} // namespace

struct MarcWriter::Yaz
{
    yaz_marc_t mt = yaz_marc_create();
    WRBUF buffer = wrbuf_alloc();
    ~Yaz()
    {
        wrbuf_destroy(buffer);
        yaz_marc_destroy(mt);
    }
};

MarcWriter::MarcWriter(MarcFormat format, MarcSyntax syntax, QDate today)
    : format_(format), syntax_(syntax), today_(today), yaz_(std::make_unique<Yaz>())
{
    yaz_marc_xml(yaz_->mt, syntax == MarcSyntax::MarcXml ? YAZ_MARC_MARCXML : YAZ_MARC_ISO2709);
    if (syntax == MarcSyntax::MarcXml)
        yaz_marc_enable_collection(yaz_->mt);
}

MarcWriter::~MarcWriter() = default;

MarcRecord MarcWriter::record(const MarcColumns& book) const
{
    const bool cn = format_ == MarcFormat::Cnmarc;
    MarcRecord r;
    // Position 9 "a": Unicode, for MARC21; CNMARC says so in field 100.
    r.leader = cn ? QStringLiteral("00000nam0 2200000   450 ")
                  : QStringLiteral("00000nam a2200000 a 4500");
    r.fields.push_back({QStringLiteral("001"), {}, book.value(QStringLiteral("编号")), {}});
    if (cn) {
        const QString year = book.value(QStringLiteral("出版时间")).left(4);
        const QString date1 = year.size() == 4 ? year : QStringLiteral("    ");
        r.fields.push_back(
            {QStringLiteral("100"),
             QStringLiteral("  "),
             {},
             {{QLatin1Char('a'), today_.toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('d') +
                                     date1 + QStringLiteral("    em y0chiy50      ea")}}});
    }
    auto fieldFor = [&](const QString& tag) -> MarcField& {
        for (MarcField& f : r.fields)
            if (f.tag == tag)
                return f;
        r.fields.push_back({tag, QStringLiteral("  "), {}, {}});
        return r.fields.back();
    };
    const QString holdings = MarcMapping::holdingsTag(format_);
    for (const auto& [column, place] : places(format_)) {
        const QString value = book.value(column).trimmed();
        if (value.isEmpty())
            continue;
        MarcField& f = fieldFor(place.tag);
        if (!f.value(place.code).isEmpty())
            continue; // a column with two sources is written once
        f.subfields.push_back({place.code, value});
        if (place.tag == QLatin1String("700"))
            f.subfields.push_back({QLatin1Char('e'), QStringLiteral("translator")});
    }
    // One holdings field per copy on the shelf (at least one), the first with the barcode.
    fieldFor(holdings);
    const int copies = std::max(1, book.value(QStringLiteral("数量")).toInt());
    for (MarcField& f : r.fields) {
        if (f.tag != holdings)
            continue;
        const MarcField first = f;
        MarcField others = first;
        others.subfields.removeIf([](const MarcSubfield& s) {
            return s.code == QLatin1Char('b') || s.code == QLatin1Char('p');
        });
        for (int i = 1; i < copies; ++i)
            r.fields.push_back(others);
        break;
    }
    // Fields in tag order, as readers expect them.
    std::stable_sort(r.fields.begin(), r.fields.end(),
                     [](const MarcField& a, const MarcField& b) { return a.tag < b.tag; });
    return r;
}

bool MarcWriter::add(const MarcColumns& book, QString* error)
{
    const MarcRecord r = record(book);
    yaz_marc_t mt = yaz_->mt;
    yaz_marc_reset(mt);
    int indicatorLength = 0, identifierLength = 0, base = 0, entry = 0, start = 0, impl = 0;
    const QByteArray leader = r.leader.toLatin1();
    yaz_marc_set_leader(mt, leader.constData(), &indicatorLength, &identifierLength, &base, &entry,
                        &start, &impl);
    for (const MarcField& f : r.fields) {
        const QByteArray tag = f.tag.toLatin1();
        if (f.isControl()) {
            const QByteArray data = f.data.toUtf8();
            yaz_marc_add_controlfield(mt, tag.constData(), data.constData(), size_t(data.size()));
            continue;
        }
        const QByteArray indicators = f.indicators.toLatin1();
        yaz_marc_add_datafield(mt, tag.constData(), indicators.constData(),
                               size_t(indicators.size()));
        for (const MarcSubfield& s : f.subfields) {
            const QByteArray codeData = QString(s.code).toLatin1() + s.value.toUtf8();
            yaz_marc_add_subfield(mt, codeData.constData(), size_t(codeData.size()));
        }
    }
    wrbuf_rewind(yaz_->buffer);
    if (yaz_marc_write_mode(mt, yaz_->buffer) != 0) {
        *error = QStringLiteral("记录无法写出");
        return false;
    }
    if (syntax_ == MarcSyntax::Iso2709 && wrbuf_len(yaz_->buffer) > size_t(kMaxRecordBytes)) {
        *error = QStringLiteral("记录超过了ISO 2709允许的%1字节").arg(kMaxRecordBytes);
        return false;
    }
    out_.append(wrbuf_buf(yaz_->buffer), qsizetype(wrbuf_len(yaz_->buffer)));
    return true;
}

QByteArray MarcWriter::finish()
{
    if (syntax_ == MarcSyntax::MarcXml) {
        wrbuf_rewind(yaz_->buffer);
        yaz_marc_write_trailer(yaz_->mt, yaz_->buffer);
        out_.append(wrbuf_buf(yaz_->buffer), qsizetype(wrbuf_len(yaz_->buffer)));
    }
    return std::exchange(out_, {});
}
