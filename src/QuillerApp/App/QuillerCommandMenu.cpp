#include "QuillerApp/App/QuillerCommandMenu.h"

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "QuillerApp/Views/ViewModelBridge.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/PlatformQt/QtConversions.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

namespace quiller {

using Field = QuillerViewModelField;

QuillerCommandMenu::QuillerCommandMenu(QuillerViewModel& model, ViewModelBridge& bridge,
                                       QWidget* window)
    : QObject(window), m_model(model), m_menu(new QMenu(QStringLiteral("Quiller"), window)),
      m_send(new QAction(this)), m_newRequest(new QAction(this)), m_server(new QAction(this)) {
    m_menu->setObjectName(QStringLiteral("quillerCommandMenu"));
    m_send->setObjectName(QStringLiteral("sendActiveRequestAction"));
    m_newRequest->setObjectName(QStringLiteral("newRequestAction"));
    m_server->setObjectName(QStringLiteral("toggleServerAction"));

    // Return on the main keyboard and Enter on the keypad, as one command
    // (the shortcut map matches a keypad key without its keypad flag too).
    m_send->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    m_newRequest->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    m_server->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));

    connect(m_send, &QAction::triggered, this, [this] { m_model.sendActiveRequest(); });
    connect(m_newRequest, &QAction::triggered, this,
            [this] { m_model.addRequestToActiveCollection(); });
    connect(m_server, &QAction::triggered, this, [this] { m_model.toggleProxyServer(); });

    m_menu->addAction(m_send);
    m_menu->addAction(m_newRequest);
    m_menu->addSeparator();
    m_menu->addAction(m_server);
    for (QAction* action : {m_send, m_newRequest, m_server}) {
        // Window-wide: a shortcut works from any field of the studio window.
        action->setShortcutContext(Qt::WindowShortcut);
        window->addAction(action);
    }

    connect(&bridge, &ViewModelBridge::changed, this, [this](const ViewModelChanges& changes) {
        if (changes.containsAny({Field::language, Field::isProxyRunning}))
            refreshTitles();
    });
    refreshTitles();
}

QuillerCommandMenu::~QuillerCommandMenu() = default;

void QuillerCommandMenu::refreshTitles() {
    const tarn::TarnLanguage language = m_model.language();
    const auto text = [language](std::string_view en, std::string_view tr) {
        return tarn::qt::toQString(tarn::tarnText(en, tr, language));
    };
    m_send->setText(text("Send Active Request", "Aktif İsteği Gönder"));
    m_newRequest->setText(text("New Request", "Yeni İstek"));
    m_server->setText(
        m_model.isProxyRunning()
            ? text("Stop Local Mock/Proxy Server", "Yerel Mock/Proxy Sunucusunu Durdur")
            : text("Start Local Mock/Proxy Server", "Yerel Mock/Proxy Sunucusunu Başlat"));
}

} // namespace quiller
