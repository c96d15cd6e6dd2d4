#include "QuillerApp/App/QuillerStudioWindow.h"

#include "QuillerApp/Views/MainQuillerStudioView.h"
#include "TarnKit/Design/TarnGlassPainting.h"
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
    // The window title never follows the language.
    setWindowTitle(QStringLiteral("Quiller — by Corvane"));
    setMinimumSize(1120, 700);
    resize(1280, 800);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->setHeaderLeadingInset(18);
}

void QuillerStudioWindow::bringToFront() {
    if (windowState() & Qt::WindowMinimized)
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

} // namespace quiller
