#include "TarnKit/Design/TarnAppMenuController.h"

#include "TarnKit/Design/TarnFeedbackSheet.h"
#include "TarnKit/Design/TarnWindowRegistry.h"
#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnAppVersion.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace tarn {
namespace {

const QString kHooksName = QStringLiteral("tarnMenuHooks");

// What belongs to one action or menu, kept as its child so that it lives and
// dies with it.
class MenuHooks : public QObject {
public:
    explicit MenuHooks(QObject* owner) : QObject(owner) { setObjectName(kHooksName); }

    // A bound item: the controller decides and acts.
    bool bound = false;
    TarnMenuElement::Title title;
    TarnMenuElement::Check isEnabled;
    TarnMenuElement::Check isHidden;
    bool skipWhenEditingText = false;
    std::function<void()> action;

    // An unbound item: title and (a divider's) hidden state follow closures;
    // a standard Edit item names the text widgets' slot it stands for.
    TarnMenuElement::Title titleUpdater;
    TarnMenuElement::Check hiddenCheck;
    const char* standardSlot = nullptr;

    // A menu: its own title, and the builder of a dynamic submenu.
    TarnMenuElement::Title menuTitle;
    std::function<std::vector<TarnMenuElement>()> builder;
};

MenuHooks* hooksOf(const QObject* object) {
    return static_cast<MenuHooks*>(
        object->findChild<QObject*>(kHooksName, Qt::FindDirectChildrenOnly));
}

MenuHooks& ensureHooks(QObject* object) {
    if (MenuHooks* hooks = hooksOf(object))
        return *hooks;
    return *new MenuHooks(object);
}

// "&" is a mnemonic marker in Qt menu texts; titles are shown as written.
QString menuText(const std::string& title) {
    return qt::toQString(title).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QKeySequence keySequence(const std::string& key, Qt::KeyboardModifiers modifiers) {
    if (key.empty())
        return {};
    QString text;
    if (modifiers & Qt::ControlModifier)
        text += QStringLiteral("Ctrl+");
    if (modifiers & Qt::AltModifier)
        text += QStringLiteral("Alt+");
    if (modifiers & Qt::ShiftModifier)
        text += QStringLiteral("Shift+");
    if (modifiers & Qt::MetaModifier)
        text += QStringLiteral("Meta+");
    const QString keyText = qt::toQString(key);
    // An upper-case letter implies Shift, as in the description's key texts.
    if (keyText.size() == 1 && keyText[0].isUpper() && !(modifiers & Qt::ShiftModifier))
        text += QStringLiteral("Shift+");
    text += keyText.toUpper();
    return QKeySequence(text, QKeySequence::PortableText);
}

QWidget* focusedTextWidget() {
    if (QApplication::activeWindow() == nullptr)
        return nullptr;
    QWidget* focus = QApplication::focusWidget();
    if (qobject_cast<QLineEdit*>(focus) != nullptr || qobject_cast<QTextEdit*>(focus) != nullptr ||
        qobject_cast<QPlainTextEdit*>(focus) != nullptr)
        return focus;
    return nullptr;
}

// A standard Edit command ("undo()", "cut()", ...) for the focused widget,
// when it has one.
bool canSendStandard(const char* slot) {
    const QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && focus->metaObject()->indexOfMethod(slot) >= 0;
}

void sendStandard(const char* slot) {
    if (!canSendStandard(slot))
        return;
    QByteArray name(slot);
    name.chop(2); // "()"
    QMetaObject::invokeMethod(QApplication::focusWidget(), name.constData());
}

std::vector<QWidget*> visibleMainWindows() {
    std::vector<QWidget*> windows;
    for (QWidget* window : TarnWindowRegistry::shared().windows())
        if (TarnWindowRegistry::canBecomeMain(*window) && window->isVisible())
            windows.push_back(window);
    return windows;
}

} // namespace

struct TarnAppMenuController::Builder {
    TarnAppMenuController& controller;
    const TarnMainMenuDescription& description;

    std::string text(std::string_view en, std::string_view tr) const {
        return tarnText(en, tr, description.language());
    }
    TarnMenuElement::Title title(std::string en, std::string tr) const {
        auto language = description.language;
        return [en = std::move(en), tr = std::move(tr), language] {
            return tarnText(en, tr, language());
        };
    }

    QMenu* topLevelMenu(QMenu* parent, const TarnMenuElement::Title& menuTitle,
                        bool refreshTitle) const {
        auto* menu = new QMenu(menuText(menuTitle()), parent);
        controller.connectMenu(menu);
        if (refreshTitle)
            ensureHooks(menu).menuTitle = menuTitle;
        parent->addMenu(menu);
        return menu;
    }

    QAction* boundItem(QMenu* menu, TarnMenuElement::Title itemTitle, const std::string& key,
                       Qt::KeyboardModifiers modifiers, TarnMenuElement::Check isEnabled,
                       TarnMenuElement::Check isHidden, bool skip,
                       std::function<void()> action) const {
        auto* item = new QAction(menuText(itemTitle()), menu);
        item->setShortcut(keySequence(key, modifiers));
        if (isHidden)
            item->setVisible(!isHidden());
        MenuHooks& hooks = ensureHooks(item);
        hooks.bound = true;
        hooks.title = std::move(itemTitle);
        hooks.isEnabled = std::move(isEnabled);
        hooks.isHidden = std::move(isHidden);
        hooks.skipWhenEditingText = skip;
        hooks.action = std::move(action);
        QObject::connect(item, &QAction::triggered, &controller,
                         [controller = &controller, item] { controller->handleMenuAction(item); });
        menu->addAction(item);
        return item;
    }

    QAction* standardItem(QMenu* menu, TarnMenuElement::Title itemTitle, const std::string& key,
                          Qt::KeyboardModifiers modifiers, std::function<void()> perform) const {
        auto* item = new QAction(menuText(itemTitle()), menu);
        item->setShortcut(keySequence(key, modifiers));
        ensureHooks(item).titleUpdater = std::move(itemTitle);
        QObject::connect(item, &QAction::triggered, &controller, std::move(perform));
        menu->addAction(item);
        return item;
    }

    void convert(const std::vector<TarnMenuElement>& elements, QMenu* menu) const {
        for (const TarnMenuElement& element : elements) {
            switch (element.kind) {
            case TarnMenuElement::Kind::item:
                boundItem(menu, element.title, element.keyEquivalent, element.modifiers,
                          element.isEnabled, element.isHidden, element.skipWhenEditingText,
                          element.action);
                break;
            case TarnMenuElement::Kind::divider: {
                QAction* separator = menu->addSeparator();
                if (element.isHidden) {
                    separator->setVisible(!element.isHidden());
                    ensureHooks(separator).hiddenCheck = element.isHidden;
                }
                break;
            }
            case TarnMenuElement::Kind::submenu: {
                // A child of its menu, so that clearing the menu can find it.
                auto* submenu = new QMenu(menuText(element.title()), menu);
                controller.connectMenu(submenu);
                MenuHooks& menuHooks = ensureHooks(submenu);
                menuHooks.menuTitle = element.title;
                menuHooks.builder = element.items;
                QAction* item = submenu->menuAction();
                ensureHooks(item).titleUpdater = element.title;
                convert(element.items ? element.items() : std::vector<TarnMenuElement>{}, submenu);
                menu->addAction(item);
                break;
            }
            }
        }
    }

    // Routed: the text widget's own command while text is edited, else the
    // override.
    std::function<void()> routed(const char* slot, std::function<void()> override) const {
        return [slot, override = std::move(override)] {
            if (TarnAppMenuController::isTextInputFocused())
                sendStandard(slot);
            else
                override();
        };
    }

    void editItem(QMenu* menu, const char* en, const char* tr, const char* key,
                  Qt::KeyboardModifiers modifiers, const char* slot,
                  const std::function<void()>& override,
                  TarnMenuElement::Check enabledRule = {}) const {
        if (!override) {
            QAction* item =
                standardItem(menu, title(en, tr), key, modifiers, [slot] { sendStandard(slot); });
            ensureHooks(item).standardSlot = slot;
            return;
        }
        boundItem(menu, title(en, tr), key, modifiers, std::move(enabledRule), {}, false,
                  routed(slot, override));
    }

    void fillEdit(QMenu* menu) const {
        const TarnEditMenuOverrides overrides =
            description.editOverrides.value_or(TarnEditMenuOverrides{});
        const auto whileEditingOr = [](std::function<bool()> check) -> TarnMenuElement::Check {
            return [check = std::move(check)] {
                if (TarnAppMenuController::isTextInputFocused())
                    return true;
                return check ? check() : true;
            };
        };
        editItem(menu, "Undo", "Geri Al", "z", Qt::ControlModifier, "undo()", overrides.undo,
                 whileEditingOr(overrides.canUndo));
        editItem(menu, "Redo", "Yinele", "z", Qt::ControlModifier | Qt::ShiftModifier, "redo()",
                 overrides.redo, whileEditingOr(overrides.canRedo));
        menu->addSeparator();
        editItem(menu, "Cut", "Kes", "x", Qt::ControlModifier, "cut()", overrides.cut);
        editItem(menu, "Copy", "Kopyala", "c", Qt::ControlModifier, "copy()", overrides.copy);
        editItem(menu, "Paste", "Yapıştır", "v", Qt::ControlModifier, "paste()", overrides.paste);
        if (overrides.duplicate)
            boundItem(menu, title("Duplicate", "Çoğalt"), "d", Qt::ControlModifier, {}, {}, false,
                      overrides.duplicate);
        editItem(menu, "Select All", "Tümünü Seç", "a", Qt::ControlModifier, "selectAll()",
                 overrides.selectAll);
    }

    void build() const {
        QMenu* main = controller.m_mainMenu.get();
        const std::string appName = description.appName;
        const auto language = description.language;

        // The application menu keeps the application's name as its title.
        QMenu* app = topLevelMenu(
            main, [appName]() -> const std::string& { return appName; }, false);
        if (description.onOpenSettings) {
            auto settingsTitle = description.settingsTitle;
            boundItem(
                app,
                [settingsTitle, language] {
                    return settingsTitle ? settingsTitle()
                                         : tarnText("Settings…", "Ayarlar…", language());
                },
                ",", Qt::ControlModifier, {}, {}, false, description.onOpenSettings);
            app->addSeparator();
        }
        auto openFeedback = description.openFeedback;
        const TarnProductPalette palette = description.palette;
        boundItem(app, title("Send Feedback & Ideas…", "Geri Bildirim & Fikir Gönder…"), "", {}, {},
                  {}, false, [appName, language, openFeedback, palette] {
                      const TarnAppVersion version = TarnAppVersion::current("1.0.0", "100");
                      if (openFeedback)
                          openFeedback(appName, version, language());
                      else
                          presentFeedbackSheet(appName, version, palette, language());
                  });
        app->addSeparator();
        // Hiding an application has no counterpart here: Hide minimises our
        // windows, and Hide Others and Show All are left out.
        standardItem(
            app,
            [appName, language] {
                return tarnText("Hide " + appName, appName + " Uygulamasını Gizle", language());
            },
            "h", Qt::ControlModifier,
            [] {
                for (QWidget* window : visibleMainWindows())
                    window->showMinimized();
            });
        app->addSeparator();
        standardItem(
            app,
            [appName, language] {
                return tarnText("Quit " + appName, appName + " Uygulamasından Çık", language());
            },
            "q", Qt::ControlModifier, [] { QCoreApplication::quit(); });

        if (!description.fileMenuItems.empty()) {
            QMenu* file = topLevelMenu(main, title("File", "Dosya"), true);
            convert(description.fileMenuItems, file);
        }
        fillEdit(topLevelMenu(main, title("Edit", "Düzen"), true));
        for (const TarnCustomMenu& custom : description.customMenus)
            convert(custom.elements, topLevelMenu(main, custom.title, true));

        QMenu* window = topLevelMenu(main, title("Window", "Pencere"), true);
        controller.m_windowsMenu = window;
        standardItem(window, title("Minimize", "Küçült"), "m", Qt::ControlModifier, [] {
            if (QWidget* active = QApplication::activeWindow())
                active->showMinimized();
        });
        standardItem(window, title("Close Window", "Pencereyi Kapat"),
                     description.closeWindowKeyEquivalent, description.closeWindowModifiers, [] {
                         if (QWidget* active = QApplication::activeWindow())
                             active->close();
                     });
        window->addSeparator();
        standardItem(window, title("Bring All to Front", "Tümünü Öne Getir"), "", {}, [] {
            QWidget* active = QApplication::activeWindow();
            for (QWidget* each : visibleMainWindows()) {
                if (each->isMinimized())
                    TarnWindowRegistry::shared().restoreFromMinimized(*each);
                each->raise();
            }
            if (active != nullptr) {
                active->raise();
                active->activateWindow();
            }
        });
    }
};

TarnAppMenuController::TarnAppMenuController(TarnMainMenuDescription description, QObject* parent)
    : QObject(parent), m_description(std::move(description)),
      m_mainMenu(std::make_unique<QMenu>()) {
    if (!m_description.language)
        m_description.language = [] { return language::current(); };
    m_mainMenu->setObjectName(QStringLiteral("mainMenu"));
    Builder{*this, m_description}.build();
}

TarnAppMenuController::~TarnAppMenuController() = default;

void TarnAppMenuController::connectMenu(QMenu* menu) {
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { menuNeedsUpdate(menu); });
    connect(menu, &QMenu::aboutToHide, this, [this, menu] { menuDidClose(menu); });
}

QMenuBar* TarnAppMenuController::makeMenuBar(QWidget* parent) const {
    auto* bar = new QMenuBar(parent);
    bar->setObjectName(QStringLiteral("mainMenuBar"));
    bar->setNativeMenuBar(false);
    for (QAction* action : m_mainMenu->actions())
        bar->addAction(action);
    return bar;
}

bool TarnAppMenuController::attachMenuBar(QWidget& window) const {
    if (auto* main = qobject_cast<QMainWindow*>(&window)) {
        if (main->menuWidget() == nullptr)
            main->setMenuBar(makeMenuBar(main));
        return true;
    }
    if (QLayout* layout = window.layout()) {
        if (layout->menuBar() == nullptr)
            layout->setMenuBar(makeMenuBar(&window));
        return true;
    }
    return false;
}

bool TarnAppMenuController::isTextInputFocused() {
    return focusedTextWidget() != nullptr;
}

void TarnAppMenuController::menuNeedsUpdate(QMenu* menu) {
    if (MenuHooks* hooks = hooksOf(menu)) {
        if (hooks->menuTitle)
            menu->setTitle(menuText(hooks->menuTitle()));
        if (hooks->builder) {
            // The old content goes with its bindings; nested submenus are
            // children of this menu and go too.
            const auto builder = hooks->builder;
            for (QAction* action : menu->actions())
                if (QMenu* submenu = action->menu();
                    submenu != nullptr && submenu->parent() == menu)
                    delete submenu;
            menu->clear();
            Builder{*this, m_description}.convert(builder(), menu);
            return;
        }
    }
    const bool editing = isTextInputFocused();
    for (QAction* action : menu->actions()) {
        MenuHooks* hooks = hooksOf(action);
        if (hooks == nullptr)
            continue;
        if (hooks->bound) {
            action->setText(menuText(hooks->title()));
            const bool hidden = hooks->isHidden ? hooks->isHidden() : false;
            action->setVisible(!hidden);
            bool enabled = !hidden && !(hooks->skipWhenEditingText && editing);
            if (enabled && hooks->isEnabled)
                enabled = hooks->isEnabled();
            action->setEnabled(enabled);
            continue;
        }
        if (hooks->titleUpdater)
            action->setText(menuText(hooks->titleUpdater()));
        if (hooks->hiddenCheck)
            action->setVisible(!hooks->hiddenCheck());
        if (hooks->standardSlot != nullptr)
            action->setEnabled(canSendStandard(hooks->standardSlot));
    }
}

void TarnAppMenuController::menuDidClose(QMenu* menu) {
    // A shortcut of a disabled action never fires: while the menu is closed
    // every item stays enabled and is checked when it triggers instead.
    for (QAction* action : menu->actions()) {
        const MenuHooks* hooks = hooksOf(action);
        if (hooks != nullptr && (hooks->bound || hooks->standardSlot != nullptr)) {
            action->setEnabled(true);
            action->setVisible(true);
        }
    }
}

bool TarnAppMenuController::validateMenuItem(QAction* action) {
    const MenuHooks* hooks = hooksOf(action);
    if (hooks == nullptr || !hooks->bound)
        return true;
    action->setText(menuText(hooks->title()));
    if (hooks->isHidden && hooks->isHidden())
        return false;
    if (hooks->skipWhenEditingText && isTextInputFocused())
        return false;
    return hooks->isEnabled ? hooks->isEnabled() : true;
}

void TarnAppMenuController::handleMenuAction(QAction* action) {
    const MenuHooks* hooks = hooksOf(action);
    if (hooks == nullptr || !hooks->bound || !validateMenuItem(action))
        return;
    // A copy: the action may clear the menu that owns this binding.
    const std::function<void()> perform = hooks->action;
    if (perform)
        perform();
}

int TarnAppMenuController::liveBindingCount() const {
    return static_cast<int>(m_mainMenu->findChildren<QObject*>(kHooksName).size());
}

} // namespace tarn
