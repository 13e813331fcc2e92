// Resetting the test controls, and small helpers shared by this folder.
#include <cctype>
#include <string>

#include "platform/d3d7/internal.h"
#include "platform/ddraw/display.h"
#include "platform/testing.h"
#include "platform/win/internal.h"

namespace plat {
namespace testing {

void Reset() {
    detail::ResetClockControls();
    detail::ResetWindowControls();
    detail::ResetMessageBoxControls();
    detail::ResetProcessControls();
    detail::ResetInstanceControls();
    detail::ResetSoundControls();
    detail::ResetInputControls();
    detail::ResetFontControls();
    detail::ResetSystemControls();
    detail::ResetMediaControls();
    detail::ResetImeControls();
    ClearVirtualDesktop();
    detail::ResetDisplayControls();
    detail::ResetPresenterControls();
    detail::ResetDirect3DControls();
    SetSocketPollHook(nullptr);
}

}  // namespace testing

namespace detail {

std::string LowerAscii(const char* text) {
    std::string out = text != nullptr ? text : "";
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace detail
}  // namespace plat
