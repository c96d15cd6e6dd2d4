#include "QuillerApp/Views/QuillerStudioStyle.h"

#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QPainter>
#include <QWidget>

namespace quiller::studiostyle {
namespace {

class Hairline final : public QWidget {
public:
    explicit Hairline(QWidget* parent) : QWidget(parent) {
        setFixedHeight(1);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), tarn::qColor(tarn::TarnGlassTokens::borderSubtle));
    }
};

} // namespace

QString cssRgba(const QColor& colour) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(colour.alpha());
}

QWidget* makeHairline(QWidget* parent) {
    return new Hairline(parent);
}

} // namespace quiller::studiostyle
