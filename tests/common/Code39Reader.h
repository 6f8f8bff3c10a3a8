// Reading Code 39 symbols back from a picture of a printed page, so that a test can check
// what a label or card carries without trusting the code that drew it.
#pragma once

#include <QImage>
#include <QStringList>

// The texts of the Code 39 symbols that some pixel row of image crosses from the start to
// the stop character (the '*' on both sides not included), each once, in the order first
// met from the top. Bars are the pixels darker than middle grey; each character's three
// widest of nine elements are its wide ones.
QStringList code39Texts(const QImage& image);
