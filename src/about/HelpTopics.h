#pragma once
// The help topic of each main-menu entry: its help context number and the page of the compiled
// help file that the number maps to. The help project (assets/help/src/help.hhp) carries the
// same table in its [MAP] and [ALIAS] sections.
#include <array>

namespace bf::about {

struct MenuHelpTopic {
    int context;          // help context number of the menu entry
    const char* menuName; // the entry's control name in the main window
    const char* page;     // page in the help file
};

inline constexpr std::array<MenuHelpTopic, 16> kMenuHelpTopics{{
    {1, "mnuFile", "menu_file.htm"},
    {2, "mnuEdit", "menu_edit.htm"},
    {3, "mnuActions", "menu_actions.htm"},
    {4, "mnuOptions", "menu_options.htm"},
    {5, "mnuHelp", "menu_help.htm"},
    {6, "mnuAddFile", "add_file.htm"},
    {7, "mnuAddFolder", "add_folder.htm"},
    {8, "mnuExit", "exit.htm"},
    {9, "mnuRemoveItem", "remove_item.htm"},
    {10, "mnuClearList", "clear_list.htm"},
    {11, "mnuSplit", "split.htm"},
    {12, "mnuSettings", "settings.htm"},
    {13, "mnuApplicationHelp", "application_help.htm"},
    {14, "mnuVisitHomePage", "visit_homepage.htm"},
    {15, "mnuSupport", "support.htm"},
    {18, "mnuAbout", "about.htm"},
}};

// The page for a help context number; nullptr for a number no menu entry carries.
constexpr const char* HelpPageForContext(int context)
{
    for (const MenuHelpTopic& t : kMenuHelpTopics)
        if (t.context == context)
            return t.page;
    return nullptr;
}

} // namespace bf::about
