// The skin build as the shell calls it. The real one is skin::BuildSkins; the
// shell keeps it behind this type so that its handlers can be exercised with
// a build that only writes lines and fills UsedFiles.
#pragma once

#include "skin/build_driver.h"

#include <functional>
#include <string>
#include <vector>

namespace app {

using BuildSkinsFunction =
    std::function<void(bool Discard, const std::u16string& programFolder, skin::BuildLog& log,
                       std::vector<std::u16string>& UsedFiles)>;

} // namespace app
