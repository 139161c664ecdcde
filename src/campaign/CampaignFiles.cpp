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

} // namespace quillmark::campaign
