#include "cli/DataFileInput.h"

#include "core/Error.h"

namespace quillmark::cli {

campaign::DataFile readCampaignDataFile(const QString& absolutePath) {
    campaign::DataFile file = campaign::DataFile::load(absolutePath);
    if (!file.isLoaded()) {
        throw core::Error(QStringLiteral("Cannot read the data file %1: %2 (code %3)")
                              .arg(absolutePath, file.errorDescription())
                              .arg(file.errorCode()));
    }
    if (file.campaignElement().empty()) {
        throw core::Error(QStringLiteral("The data file %1 has no campaign element").arg(absolutePath));
    }
    return file;
}

} // namespace quillmark::cli
