// The menu, tool-bar and dropped-file machinery of the main window. Nothing in this program
// switches a menu or a tool bar on or registers for dropped files, so the tables stay empty;
// the bookkeeping is kept so that the window procedure's rows have somewhere to go.
#include <cstring>

#include "engine/base/memory.h"
#include "engine/core/engine_system.h"
#include "engine/core/window.h"

namespace tessra {
namespace {

MenuItemRow g_menuItems[kMenuItemMax];
int g_menuItemCount = 0;
int g_menuShown = 0;
int g_chosenMenuIds[kChosenMenuIdMax];
int g_chosenMenuIdCount = 0;
int g_pressedToolBarButton = -1;
char* g_droppedFiles[kDroppedFileMax];
int g_droppedFileCount = 0;

}  // namespace

int CollectMenuItems(plat::HMENU menu) {
    g_menuItemCount = 0;
    // This system offers no menu resources, so no item of a menu can be read.
    return menu == nullptr ? 0 : -1;
}

const char* GetMenuItemName(int commandId) {
    for (int i = 0; i < g_menuItemCount; ++i)
        if (g_menuItems[i].commandId == commandId) return g_menuItems[i].name;
    return nullptr;
}

int SetMenuShown(int shown) {
    const int wanted = shown != 0 ? 1 : 0;
    if (wanted == g_menuShown) return 0;
    g_menuShown = wanted;
    if (IsWindowedMode() == 1) ApplyWindowStyle();
    return 0;
}

int IsMenuShown() {
    return g_menuShown;
}

int IsMenuInUse() {
    return GetSystemStateBlock()->settings.menuInUse;
}

int RecordMenuCommand(int commandId) {
    const EngineSettings& set = GetSystemStateBlock()->settings;
    if (set.menuCommand != nullptr) set.menuCommand(commandId);
    if (set.menuName != nullptr) {
        const char* name = GetMenuItemName(commandId);
        if (name != nullptr) set.menuName(name);
    }
    for (int i = 0; i < g_chosenMenuIdCount; ++i)
        if (g_chosenMenuIds[i] == commandId) return 0;
    if (g_chosenMenuIdCount < kChosenMenuIdMax) g_chosenMenuIds[g_chosenMenuIdCount++] = commandId;
    return 0;
}

int GetChosenMenuIdCount() {
    return g_chosenMenuIdCount;
}

int FindToolBarButton(int) {
    return -1;
}  // no tool bar, so no button

int GetToolBarHeight() {
    return 0;
}

int ClearToolBarButtons() {
    g_pressedToolBarButton = -1;
    return 0;
}

int RecordToolBarButton(int commandId) {
    g_pressedToolBarButton = commandId;
    return 0;
}

int AddDroppedFile(const char* name) {
    if (name == nullptr || g_droppedFileCount >= kDroppedFileMax) return -1;
    const size_t size = std::strlen(name) + 1;
    char* copy = static_cast<char*>(AllocTagged(size, nullptr, 0));
    if (copy == nullptr) return -1;
    std::memcpy(copy, name, size);
    g_droppedFiles[g_droppedFileCount++] = copy;
    return 0;
}

int GetDroppedFileCount() {
    return g_droppedFileCount;
}

int FreeDroppedFiles() {
    for (int i = 0; i < g_droppedFileCount; ++i) {
        FreeTagged(g_droppedFiles[i]);
        g_droppedFiles[i] = nullptr;
    }
    g_droppedFileCount = 0;
    return 0;
}

}  // namespace tessra
