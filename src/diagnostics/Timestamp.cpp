#include "diagnostics/Timestamp.h"

#include <QLocale>

namespace quillmark::diagnostics {

QString generalDateTime(const QDateTime& moment) {
    const QLocale locale = QLocale::system();
    const QDateTime local = moment.toLocalTime();
    return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(local.time(), QLocale::LongFormat);
}

QString nowText() {
    return generalDateTime(QDateTime::currentDateTime());
}

} // namespace quillmark::diagnostics
