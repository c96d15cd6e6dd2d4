#include "TarnKit/Design/TarnToastBanner.h"

#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Platform/SymbolName.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <string>
#include <utility>

namespace tarn {
namespace {

constexpr int kSymbolSize = 14;

// The symbol painted from its outline at paint time, so it stays crisp at any
// device pixel ratio.
class SymbolView : public QWidget {
public:
    SymbolView(std::string name, QColor colour, QWidget* parent)
        : QWidget(parent), m_name(std::move(name)), m_colour(colour) {
        setFixedSize(kSymbolSize, kSymbolSize);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        paintSymbol(painter, m_name, rect(), m_colour);
    }

private:
    std::string m_name;
    QColor m_colour;
};

} // namespace

TarnToastBanner::TarnToastBanner(const QString& message, bool isError, QWidget* parent)
    : QWidget(parent), m_message(message), m_isError(isError) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 10, 16, 10);
    row->setSpacing(8);

    auto* symbol = new SymbolView(symbolName().toStdString(), symbolColor(), this);
    symbol->setObjectName(QStringLiteral("toastSymbol"));
    row->addWidget(symbol, 0, Qt::AlignVCenter);

    auto* text = new QLabel(message, this);
    text->setObjectName(QStringLiteral("toastMessage"));
    text->setTextFormat(Qt::PlainText);
    text->setFont(fonts::font(TarnTextStyle::callout, QFont::Medium));
    QPalette textPalette = text->palette();
    textPalette.setColor(QPalette::WindowText, Qt::white);
    text->setPalette(textPalette);
    row->addWidget(text, 0, Qt::AlignVCenter);

    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(qColor(TarnColor::black(0.35)));
    shadow->setBlurRadius(12);
    shadow->setOffset(0, 4);
    setGraphicsEffect(shadow);
}

QString TarnToastBanner::symbolName() const {
    const std::string_view name = m_isError ? symbolNamed("exclamationmark.triangle.fill")
                                            : symbolNamed("checkmark.circle.fill");
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

QColor TarnToastBanner::symbolColor() const {
    return qColor(m_isError ? TarnGlassTokens::warning : TarnGlassTokens::success);
}

void TarnToastBanner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintGlassShape(painter, rect(), capsuleRadius(rect()), qColor(TarnColor::black(0.84)),
                    qColor(TarnGlassTokens::borderSubtle));
}

} // namespace tarn
