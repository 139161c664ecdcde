#pragma once

#include "campaign/DataFile.h"

#include <QString>

namespace quillmark::cli {

// A campaign data file the controller works with: read, parsed, and holding a campaign
// element. Throws core::Error naming the file otherwise.
[[nodiscard]] campaign::DataFile readCampaignDataFile(const QString& absolutePath);

} // namespace quillmark::cli
