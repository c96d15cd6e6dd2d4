#pragma once

// The root view of the studio window: the product's ground, the header
// (brand mark, title, version badge, subtitle, the seven tab buttons and the
// environment picker), a hairline, the screen of the selected tab and the
// toast that slides in at the bottom while the view model holds a message.
//
// It keeps no state of its own: the selected tab, the active environment and
// the toast are the view model's. A tab switch destroys the shown screen with
// its view state and builds the new tab's screen afresh.
//
// Threads: the GUI thread. The view model and the bridge must outlive the view.

#include "QuillerApp/ViewModels/QuillerTab.h"

#include <QColor>
#include <QWidget>
#include <array>
#include <memory>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QVBoxLayout;
class QVariantAnimation;

namespace tarn {
class TarnGroundBackground;
class TarnToastBanner;
class TarnVersionBadgeButton;
} // namespace tarn

namespace quiller {

class QuillerStudioTabButton;
class QuillerViewModel;
class ViewModelBridge;
struct ViewModelChanges;

class MainQuillerStudioView final : public QWidget {
    Q_OBJECT
    // The tab whose screen is shown, by its raw value ("client", ...).
    Q_PROPERTY(QString shownTab READ shownTab)
    // Whether the toast is on screen (also while it slides out), and its text.
    Q_PROPERTY(bool toastShown READ isToastShown)
    Q_PROPERTY(QString toastText READ toastText)
public:
    // `accent` colours the selected tab button; the application passes the
    // accent of its palette.
    MainQuillerStudioView(QuillerViewModel& model, ViewModelBridge& bridge, QColor accent,
                          QWidget* parent = nullptr);
    ~MainQuillerStudioView() override;

    // The header row, laid out as the window's header bar beside the window
    // buttons.
    QWidget* headerBar() const { return m_header; }
    // Where the version badge sits, right of the title.
    QHBoxLayout* versionBadgeSlot() const { return m_versionBadgeSlot; }

    QWidget* tabScreen() const { return m_screen.get(); }
    QString shownTab() const;
    bool isToastShown() const;
    QString toastText() const;

    // The toast's 0.2-second slide; off in tests, where it shows and hides at once.
    static void setAnimationsEnabled(bool enabled);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildHeader();
    void applyChanges(const ViewModelChanges& changes);
    void rebuildVersionBadge();
    void refreshTexts();
    void refreshTabButtons();
    void showSelectedScreen();
    void refreshEnvironmentPicker();
    void environmentChosen(int index);
    void refreshToast();
    void placeToast();
    void setToastProgress(double progress);

    QuillerViewModel& m_model;
    ViewModelBridge& m_bridge;
    QColor m_accent;

    tarn::TarnGroundBackground* m_ground = nullptr;
    QWidget* m_header = nullptr;
    QLabel* m_subtitle = nullptr;
    QHBoxLayout* m_versionBadgeSlot = nullptr;
    tarn::TarnVersionBadgeButton* m_versionBadge = nullptr;
    std::array<QuillerStudioTabButton*, 7> m_tabButtons{};
    QComboBox* m_environmentPicker = nullptr;
    QWidget* m_screenHost = nullptr;
    QVBoxLayout* m_screenLayout = nullptr;
    std::unique_ptr<QWidget> m_screen;
    QuillerTab m_shownTab = QuillerTab::client;

    // The toast: a host that fades and slides, holding the current banner.
    QWidget* m_toastHost = nullptr;
    tarn::TarnToastBanner* m_toastBanner = nullptr;
    QVariantAnimation* m_toastAnimation = nullptr;
    double m_toastProgress = 0;
    bool m_toastLeaving = false;
};

} // namespace quiller
