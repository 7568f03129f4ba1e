#include "core/window_placement.h"

#include "core/registry.h"
#include "core/registry_document.h"
#include "core/settings.h"

#include <algorithm>

namespace orv {

namespace {
constexpr const char* kLeft = "MainWindowLeft";
constexpr const char* kTop = "MainWindowTop";
constexpr const char* kWidth = "MainWindowWidth";
constexpr const char* kHeight = "MainWindowHeight";
constexpr const char* kMaximized = "MainWindowMaximized";
constexpr const char* kSplitter = "MainWindowSplitter";
constexpr const char* kScrollTogether = "ScrollTogether";
} // namespace

MainWindowPlacement LoadMainWindowPlacement() {
    const RegistryDocument doc = RegistrySnapshot();
    MainWindowPlacement p;
    const auto left = QueryRegDword(doc, HKEY_CURRENT_USER, kKeyMav, kLeft);
    const auto top = QueryRegDword(doc, HKEY_CURRENT_USER, kKeyMav, kTop);
    const auto width = QueryRegDword(doc, HKEY_CURRENT_USER, kKeyMav, kWidth);
    const auto height = QueryRegDword(doc, HKEY_CURRENT_USER, kKeyMav, kHeight);
    // A place without a sensible size is no place: the window keeps its design.
    if (left && top && width && height && *width > 0 && *height > 0) {
        p.known = true;
        p.left = *left;
        p.top = *top;
        p.width = *width;
        p.height = *height;
        p.maximized = GetRegDword(doc, HKEY_CURRENT_USER, kKeyMav, kMaximized, 0) == 1;
    }
    p.splitter =
        std::clamp(GetRegDword(doc, HKEY_CURRENT_USER, kKeyMav, kSplitter, p.splitter), 0, 10000);
    p.scrollTogether = GetRegDword(doc, HKEY_CURRENT_USER, kKeyMav, kScrollTogether, 0) == 1;
    return p;
}

void SaveMainWindowPlacement(const MainWindowPlacement& p) {
    ModifyRegistry([&](RegistryDocument& doc) {
        SetRegDword(doc, HKEY_CURRENT_USER, kKeyMav, kLeft, p.left);
        SetRegDword(doc, HKEY_CURRENT_USER, kKeyMav, kTop, p.top);
        SetRegDword(doc, HKEY_CURRENT_USER, kKeyMav, kWidth, p.width);
        SetRegDword(doc, HKEY_CURRENT_USER, kKeyMav, kHeight, p.height);
        SetRegDword(doc, HKEY_CURRENT_USER, kKeyMav, kMaximized, p.maximized ? 1 : 0);
        SetRegDword(doc, HKEY_CURRENT_USER, kKeyMav, kSplitter, p.splitter);
        SetRegDword(doc, HKEY_CURRENT_USER, kKeyMav, kScrollTogether, p.scrollTogether ? 1 : 0);
        return true;
    });
}

void SaveScrollTogether(bool on) {
    SetRegDword(HKEY_CURRENT_USER, kKeyMav, kScrollTogether, on ? 1 : 0);
}

} // namespace orv
