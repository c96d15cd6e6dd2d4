#include "TarnKit/Design/TarnMenuModel.h"

#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "TarnKit/Localization/TarnText.h"

namespace tarn {
namespace {

constexpr std::string_view kCheckMark = "✓ ";

} // namespace

TarnMenuElement TarnMenuElement::item(Title title, std::string keyEquivalent,
                                      Qt::KeyboardModifiers modifiers, Check isEnabled,
                                      Check isHidden, bool skipWhenEditingText,
                                      std::function<void()> action) {
    TarnMenuElement element;
    element.kind = Kind::item;
    element.title = std::move(title);
    element.keyEquivalent = std::move(keyEquivalent);
    element.modifiers = modifiers;
    element.isEnabled = std::move(isEnabled);
    element.isHidden = std::move(isHidden);
    element.skipWhenEditingText = skipWhenEditingText;
    element.action = std::move(action);
    return element;
}

TarnMenuElement TarnMenuElement::divider(Check isHidden) {
    TarnMenuElement element;
    element.kind = Kind::divider;
    element.isHidden = std::move(isHidden);
    return element;
}

TarnMenuElement TarnMenuElement::submenu(Title title,
                                         std::function<std::vector<TarnMenuElement>()> items) {
    TarnMenuElement element;
    element.kind = Kind::submenu;
    element.title = std::move(title);
    element.items = std::move(items);
    return element;
}

TarnMenuElement TarnMenuElement::languageSubmenu(std::function<TarnLanguage()> current,
                                                 std::function<void(TarnLanguage)> onSelect) {
    auto title = [current] { return tarnText("Language", "Dil", current()); };
    auto items = [current, onSelect]() {
        const TarnLanguage now = current();
        const TarnLanguage system = language::systemResolved();
        const bool followingSystem = language::isFollowingSystem();
        std::vector<TarnMenuElement> entries;
        std::string systemTitle = followingSystem ? std::string(kCheckMark) : std::string();
        systemTitle += tarnText("System Language", "Sistem Dili", now);
        systemTitle += " (";
        systemTitle += nativeName(system);
        systemTitle += ")";
        entries.push_back(item([systemTitle] { return systemTitle; }, "", Qt::ControlModifier, {},
                               {}, false,
                               [onSelect] {
                                   language::applyFollowSystem([&onSelect] {
                                       if (onSelect)
                                           onSelect(language::systemResolved());
                                   });
                               }));
        entries.push_back(divider());
        for (const TarnLanguage choice : language::sortedCases()) {
            std::string entryTitle =
                (!followingSystem && choice == now) ? std::string(kCheckMark) : std::string();
            entryTitle += displayName(choice);
            entries.push_back(item([entryTitle] { return entryTitle; }, "", Qt::ControlModifier, {},
                                   {}, false,
                                   [onSelect, choice] {
                                       language::setCurrent(choice);
                                       if (onSelect)
                                           onSelect(choice);
                                   }));
        }
        return entries;
    };
    return submenu(std::move(title), std::move(items));
}

} // namespace tarn
