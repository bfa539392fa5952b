// The application's title, shown on the task bar and in error boxes.
#pragma once

#include <string>
#include <string_view>

namespace app {

// The program file's name without its folder, up to its first full stop, with
// every letter after the first in lower case: "C:\Tools\KestoSkinBuilder.exe"
// gives "Kestoskinbuilder". Letters are lowered for ASCII, Latin-1 and the
// basic Cyrillic block.
std::u16string ApplicationTitle(std::u16string_view programPath);

} // namespace app
