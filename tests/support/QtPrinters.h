#pragma once

// Lets GoogleTest print Qt's text types as text in failure messages instead of as arrays of
// code units. Every test source includes this first (see CMakeLists.txt), so the printers are
// found wherever a QString or QByteArray is compared.
#include <QByteArray>
#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << '"' << bytes.toStdString() << '"';
}
