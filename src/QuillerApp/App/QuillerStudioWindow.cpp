#include "QuillerApp/App/QuillerStudioWindow.h"

#include "QuillerApp/Views/MainQuillerStudioView.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnUnifiedTitlebar.h"
#include "TarnKit/Utilities/TarnProductPalette.h"

#include <QVBoxLayout>

namespace quiller {

QuillerStudioWindow::QuillerStudioWindow(QuillerViewModel& model, ViewModelBridge& bridge,
                                         QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_view(new MainQuillerStudioView(
          model, bridge,
          tarn::qColor(tarn::productpalette::accentColor(tarn::TarnProductPalette::deepIndigo)),
          this)) {
    setObjectName(QStringLiteral("studio"));
    // Frameless with our own window buttons in the header (full-screen
    // leading inset 16, gap 14 after the buttons).
    new tarn::TarnUnifiedTitlebarWindow(this, tarn::TarnUnifiedTitlebarMode::unifiedHeader, 16, 14);
    // The window title never follows the language.
    setWindowTitle(QStringLiteral("Quiller — by Corvane"));
    setMinimumSize(1120, 700);
    resize(1280, 800);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
}

} // namespace quiller
