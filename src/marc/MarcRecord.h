// One bibliographic record as read from a MARC file, its texts already decoded: the leader,
// the control fields (001-009) and the data fields with their indicators and subfields.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct MarcSubfield
{
    QChar code;
    QString value;
};

struct MarcField
{
    QString tag;
    QString indicators;            // data fields: the two indicator characters
    QString data;                  // control fields: the whole content
    QList<MarcSubfield> subfields; // data fields

    bool isControl() const { return tag.startsWith(QLatin1String("00")); }
    // The first value of the subfield, empty when absent.
    QString value(QChar code) const;
    QStringList values(QChar code) const;
};

// Which rules the record follows: the field tags of the two formats differ entirely.
enum class MarcFormat
{
    Cnmarc, // China's UNIMARC: 200 title, 210 publication, 905 holdings
    Marc21, // 245 title, 260/264 publication
};

struct MarcRecord
{
    QString leader;
    QList<MarcField> fields;

    const MarcField* field(const QString& tag) const;
    QList<const MarcField*> fieldsOf(const QString& tag) const;
    // The first value of tag$code, empty when absent.
    QString value(const QString& tag, QChar code) const;
    // The content of a control field, empty when absent.
    QString control(const QString& tag) const;
};
