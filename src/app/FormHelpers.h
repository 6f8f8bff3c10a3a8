// Small helpers the screens of this folder share for captions, buddies and names.
#pragma once

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QWidget>

namespace FormHelpers {
// The caption as assistive technology reads it: without the mnemonic marker.
inline QString plainCaption(const QString& caption)
{
    return QString(caption).remove(QLatin1Char('&'));
}

// Names a control for tests and for assistive technology.
inline void name(QWidget* widget, const char* objectName, const QString& caption)
{
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setAccessibleName(plainCaption(caption));
}

// A label whose mnemonic focuses the input; the input takes the caption as its name.
inline QLabel* buddyLabel(const QString& caption, QWidget* input, const char* objectName,
                          QWidget* parent)
{
    auto* label = new QLabel(caption, parent);
    label->setBuddy(input);
    name(input, objectName, caption);
    return label;
}

// A tool-bar button added to bar; Enter in the screen's inputs never presses it.
inline QPushButton* toolButton(QWidget* parent, QBoxLayout* bar, const QString& text,
                               const char* objectName)
{
    auto* b = new QPushButton(text, parent);
    name(b, objectName, text);
    b->setAutoDefault(false);
    bar->addWidget(b);
    return b;
}
} // namespace FormHelpers
