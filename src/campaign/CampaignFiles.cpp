#include "campaign/CampaignFiles.h"

namespace quillmark::campaign {

QString templatePathFor(const QString& dataFilePath) {
    return QString(dataFilePath).replace(QStringLiteral(".xml"), QStringLiteral(".oft"), Qt::CaseInsensitive);
}

QString SanitizeFileName(const QString& text) {
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    QString name;
    name.reserve(text.size());
    for (const QChar c : text) {
        if (!forbidden.contains(c)) {
            name.append(c);
        }
    }
    return name;
}

QString emailFormatFor(int bodyFormat, const QString& previous) {
    switch (bodyFormat) {
    case 1:
        return QStringLiteral("TEXT");
    case 2:
        return QStringLiteral("HTML");
    case 3:
        return QStringLiteral("RTF");
    default:
        return previous;
    }
}

} // namespace quillmark::campaign
