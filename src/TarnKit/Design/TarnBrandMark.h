#pragma once

#include "TarnKit/Utilities/TarnAppIdentity.h"

#include <QPointF>
#include <QWidget>
#include <array>
#include <optional>
#include <span>

class QPainter;

namespace tarn {

// The suite's three-piece mark on a 64-unit square (x right, y down).
namespace TarnBrandMarkGeometry {

inline constexpr double viewBoxSize = 64;
using Piece = std::array<QPointF, 8>;

const Piece& topRightPiece();
const Piece& leftPiece();
const Piece& bottomRightPiece();
// [topRightPiece, leftPiece, bottomRightPiece]
std::span<const Piece, 3> allPieces();

// The shaded mark drawn into a width × height area at the painter's origin.
void paint(QPainter& painter, double width, double height);

} // namespace TarnBrandMarkGeometry

// What a brand mark shows: one application's emblem, the running
// application's emblem (the suite mark when the catalogue does not know it),
// or the suite mark.
class TarnBrandMarkStyle {
public:
    enum class Kind { app, currentApp, brindleSuite };

    static TarnBrandMarkStyle app(TarnAppIdentity identity) { return {Kind::app, identity}; }
    static TarnBrandMarkStyle currentApp() { return {Kind::currentApp, std::nullopt}; }
    static TarnBrandMarkStyle brindleSuite() { return {Kind::brindleSuite, std::nullopt}; }

    Kind kind() const { return m_kind; }
    // The emblem to show, given the running application; nothing means the
    // suite mark.
    std::optional<TarnAppIdentity> shownApp(std::optional<TarnAppIdentity> runningApp) const;

    bool operator==(const TarnBrandMarkStyle&) const = default;

private:
    TarnBrandMarkStyle(Kind kind, std::optional<TarnAppIdentity> identity)
        : m_kind(kind), m_identity(identity) {}

    Kind m_kind;
    std::optional<TarnAppIdentity> m_identity;
};

// The product or suite mark of the window header and the sheets, a square of
// `size` logical pixels. Main thread.
class TarnBrandMark : public QWidget {
    Q_OBJECT
    // The slug of the emblem shown, empty for the suite mark.
    Q_PROPERTY(QString shownApp READ shownAppSlug)
public:
    // `currentApp` shows the running application as the catalogue resolves it.
    TarnBrandMark(double size, TarnBrandMarkStyle style, QWidget* parent = nullptr);
    // `currentApp` shows `runningApp`, or the suite mark when it is nothing.
    TarnBrandMark(double size, TarnBrandMarkStyle style, std::optional<TarnAppIdentity> runningApp,
                  QWidget* parent = nullptr);

    double markSize() const { return m_size; }
    const TarnBrandMarkStyle& style() const { return m_style; }
    std::optional<TarnAppIdentity> shownApp() const { return m_shownApp; }
    QString shownAppSlug() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_size;
    TarnBrandMarkStyle m_style;
    std::optional<TarnAppIdentity> m_shownApp;
};

} // namespace tarn
