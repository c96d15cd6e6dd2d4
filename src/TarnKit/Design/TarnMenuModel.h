#pragma once

// A suite application's main menu described as values: the items of its File
// menu and of extra menus, replacements for Edit actions, and the inputs of the
// standard menus that TarnAppMenuController builds around them.
//
// Titles are functions, evaluated when a menu is built and again each time it
// is about to open, so menus follow the interface language without being
// rebuilt. Shortcut modifiers use Qt's names: Qt::ControlModifier is the
// suite's Command key, Qt::AltModifier its Option key.
//
// Threads: the GUI thread; every function here may be called any number of
// times.

#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Utilities/TarnProductPalette.h"

#include <Qt>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

struct TarnAppVersion;

struct TarnMenuElement {
    enum class Kind { item, divider, submenu };
    using Title = std::function<std::string()>;
    using Check = std::function<bool()>;

    Kind kind = Kind::item;
    Title title;                                         // item, submenu
    std::string keyEquivalent;                           // item; empty for none
    Qt::KeyboardModifiers modifiers;                     // item; only with a key equivalent
    Check isEnabled;                                     // item; empty: always
    Check isHidden;                                      // item, divider; empty: never
    bool skipWhenEditingText = false;                    // item
    std::function<void()> action;                        // item
    std::function<std::vector<TarnMenuElement>()> items; // submenu, rebuilt at every opening

    static TarnMenuElement item(Title title, std::string keyEquivalent,
                                Qt::KeyboardModifiers modifiers, Check isEnabled, Check isHidden,
                                bool skipWhenEditingText, std::function<void()> action);
    static TarnMenuElement divider(Check isHidden = {});
    static TarnMenuElement submenu(Title title,
                                   std::function<std::vector<TarnMenuElement>()> items);

    // "Language" / "Dil": the system entry ("System Language (<native name>)"),
    // a divider, and every language by English name; the current choice
    // carries "✓ ". Choosing an entry stores the preference and calls onSelect.
    static TarnMenuElement languageSubmenu(std::function<TarnLanguage()> current,
                                           std::function<void(TarnLanguage)> onSelect);
};

// One extra top-level menu, between Edit and Window.
struct TarnCustomMenu {
    TarnMenuElement::Title title;
    std::vector<TarnMenuElement> elements;

    TarnCustomMenu(TarnMenuElement::Title titleFunction, std::vector<TarnMenuElement> content)
        : title(std::move(titleFunction)), elements(std::move(content)) {}
    TarnCustomMenu(std::string fixedTitle, std::vector<TarnMenuElement> content)
        : title([fixedTitle = std::move(fixedTitle)] { return fixedTitle; }),
          elements(std::move(content)) {}
};

// Edit actions an application takes over. An override is called unless text
// is being edited, where the text widget performs the ordinary command.
struct TarnEditMenuOverrides {
    std::function<void()> undo;
    std::function<bool()> canUndo;
    std::function<void()> redo;
    std::function<bool()> canRedo;
    std::function<void()> cut;
    std::function<void()> copy;
    std::function<void()> paste;
    std::function<void()> duplicate; // adds Duplicate (Ctrl+D)
    std::function<void()> selectAll;
};

// Everything the menu controller builds from.
struct TarnMainMenuDescription {
    std::string appName; // the application menu's title, part of Hide and Quit
    std::function<TarnLanguage()> language;
    std::function<std::string()> settingsTitle; // empty: "Settings…"
    std::function<void()> onOpenSettings;       // empty: no Settings item
    std::vector<TarnMenuElement> fileMenuItems; // empty: no File menu
    std::optional<TarnEditMenuOverrides> editOverrides;
    std::vector<TarnCustomMenu> customMenus;
    std::string closeWindowKeyEquivalent; // empty: no shortcut
    Qt::KeyboardModifiers closeWindowModifiers = Qt::ControlModifier;
    // What the feedback item does with (application name, version,
    // language). Empty: it opens the feedback composer in a window of its
    // own, in the application's palette.
    std::function<void(const std::string& appName, const TarnAppVersion& version,
                       TarnLanguage language)>
        openFeedback;
    // The composer's backdrop and accent when openFeedback is empty.
    TarnProductPalette palette = TarnProductPalette::deepIndigo;
};

} // namespace tarn
