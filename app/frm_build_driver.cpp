// Tfrm bound to the real skin build driver and the real program path. Kept
// apart from u_frm.cpp so that whatever uses Tfrm with a build of its own
// (the unit tests) does not link the driver.
#include "app/u_frm.h"

#include "platform/platform.h"
#include "skin/build_driver.h"

namespace app {

Tfrm::Tfrm() : Tfrm(skin::BuildSkins, platform::GetExeFileName) {}

} // namespace app
