#pragma once

#include <QAbstractButton>
#include <QFont>
#include <string>
#include <string_view>

class QVariantAnimation;

// Both buttons draw an icon given with setIcon (at iconSize) before their
// text, 6 points apart, and draw themselves faded while disabled.

namespace tarn {

// The light solid button of the main action: black text at 0.9 on white at
// 0.96 (0.82 while pressed), radius 9, shrinking to 0.98 while pressed with a
// 0.12-second ease-out. It never takes the palette's accent. An icon, when
// set, is drawn before the text at iconSize(). Main thread.
class TarnPrimaryButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(double fillOpacity READ fillOpacity)
    Q_PROPERTY(double pressScale READ pressScale)
public:
    explicit TarnPrimaryButton(const QString& text, QWidget* parent = nullptr);

    // The values of the current pressed state (the painted scale animates
    // towards pressScale).
    double fillOpacity() const { return isDown() ? 0.82 : 0.96; }
    double pressScale() const { return isDown() ? 0.98 : 1.0; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& position) const override;

private:
    QVariantAnimation* m_scale;
};

// The translucent button: surface2 with a subtle border at rest, surface3 with
// a strong border when active (a selected tab), radius 8, dimmed to 0.78 while
// pressed, never scaled or animated. An icon, when set, is drawn before the
// text at iconSize(). Main thread.
class TarnGlassButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(bool active READ isActive WRITE setActive)
    Q_PROPERTY(double contentOpacity READ contentOpacity)
    Q_PROPERTY(QColor fillColor READ fillColor)
    Q_PROPERTY(QColor borderColor READ borderColor)
public:
    explicit TarnGlassButton(const QString& text, bool isActive = false, QWidget* parent = nullptr);

    bool isActive() const { return m_active; }
    void setActive(bool active);
    // Disabled buttons are drawn faded.
    double contentOpacity() const { return !isEnabled() ? 0.45 : isDown() ? 0.78 : 1.0; }
    QColor fillColor() const;
    QColor borderColor() const;
    // A symbol drawn before the text, at the font's size; none by default.
    void setSymbol(std::string_view name);
    const std::string& symbol() const { return m_symbol; }
    // The space left and right of the label: 11 points unless set (the
    // segments of a segmented picker sit closer).
    void setHorizontalPadding(int padding);
    int horizontalPadding() const { return m_horizontalPadding; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& position) const override;

private:
    bool m_active;
    std::string m_symbol;
    int m_horizontalPadding = 11;
};

} // namespace tarn
