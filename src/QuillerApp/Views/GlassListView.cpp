#include "QuillerApp/Views/GlassListView.h"

#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QListView>

namespace quiller {

void dressGlassListView(QListView* list) {
    const QString handle = tarn::qColor(tarn::TarnGlassTokens::borderStrong).name(QColor::HexArgb);
    list->setFrameShape(QFrame::NoFrame);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setStyleSheet(
        QStringLiteral(
            "QListView { background: transparent; }"
            "QScrollBar:vertical { background: transparent; width: 8px; margin: 0 0 0 2px; }"
            "QScrollBar::handle:vertical { background: %1; border-radius: 3px; "
            "min-height: 24px; }"
            "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
            "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical "
            "{ background: transparent; }")
            .arg(handle));
    list->viewport()->setAutoFillBackground(false);
}

} // namespace quiller
