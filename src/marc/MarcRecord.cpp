#include "MarcRecord.h"

QString MarcField::value(QChar code) const
{
    for (const MarcSubfield& s : subfields)
        if (s.code == code)
            return s.value;
    return {};
}

QStringList MarcField::values(QChar code) const
{
    QStringList out;
    for (const MarcSubfield& s : subfields)
        if (s.code == code)
            out << s.value;
    return out;
}

const MarcField* MarcRecord::field(const QString& tag) const
{
    for (const MarcField& f : fields)
        if (f.tag == tag)
            return &f;
    return nullptr;
}

QList<const MarcField*> MarcRecord::fieldsOf(const QString& tag) const
{
    QList<const MarcField*> out;
    for (const MarcField& f : fields)
        if (f.tag == tag)
            out << &f;
    return out;
}

QString MarcRecord::value(const QString& tag, QChar code) const
{
    const MarcField* f = field(tag);
    return f ? f->value(code) : QString();
}

QString MarcRecord::control(const QString& tag) const
{
    const MarcField* f = field(tag);
    return f ? f->data : QString();
}
