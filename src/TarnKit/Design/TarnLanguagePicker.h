#pragma once

#include "TarnKit/Localization/TarnLanguage.h"

#include <QString>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;

namespace tarn {

class TarnLanguagePreference;

// What a language control shows as chosen beyond its caller's language: the
// follow-the-system mark, read from the stored preference when the control is
// made and each time it comes on screen, and set by the control's own
// choices. Main thread.
class TarnLanguagePickerState {
public:
    explicit TarnLanguagePickerState(TarnLanguagePreference& preference);

    bool isFollowingSystem() const { return m_isFollowingSystem; }
    // Re-reads the stored preference; answers whether the mark changed.
    bool syncFromDefaults();

    // The user chose the system entry: the stored preference becomes "system"
    // and `onSelect` receives the system's language without being able to
    // store an explicit language while it runs.
    void chooseSystem(const std::function<void(TarnLanguage)>& onSelect);
    // The user chose a language: stored, preloaded and announced, then passed
    // to `onSelect`.
    void chooseLanguage(TarnLanguage language, const std::function<void(TarnLanguage)>& onSelect);

    // "System Language (<native name of the system's language>)" in `language`.
    QString systemEntryLabel(TarnLanguage language) const;

    TarnLanguagePreference& preference() const { return m_preference; }

private:
    TarnLanguagePreference& m_preference;
    bool m_isFollowingSystem;
};

// A pop-up list with the system entry, a divider and every language by its
// English name. It stores and announces only what the user picks (the combo
// box's `activated`); setLanguage, which the owner calls to show the language
// its model now holds, never stores or announces anything. Main thread.
class TarnLanguagePicker : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool isFollowingSystem READ isFollowingSystem)
    Q_PROPERTY(QString selectedCode READ selectedCode)
public:
    using OnSelect = std::function<void(TarnLanguage)>;

    // No title means "Language" / "Dil" in `language`. Without the title the
    // list is between 190 and 260 pixels wide.
    TarnLanguagePicker(std::optional<QString> title, TarnLanguage language, bool showTitle,
                       OnSelect onSelect, QWidget* parent = nullptr);
    TarnLanguagePicker(std::optional<QString> title, TarnLanguage language, bool showTitle,
                       OnSelect onSelect, TarnLanguagePreference& preference,
                       QWidget* parent = nullptr);

    TarnLanguage language() const { return m_language; }
    void setLanguage(TarnLanguage language);
    bool isFollowingSystem() const { return m_state.isFollowingSystem(); }
    // "system" or the chosen language's code, as the list shows it.
    QString selectedCode() const;
    QComboBox* comboBox() const { return m_combo; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillEntries();
    void showSelection();
    void userActivated(int index);

    std::optional<QString> m_title;
    TarnLanguage m_language;
    OnSelect m_onSelect;
    TarnLanguagePickerState m_state;
    QLabel* m_titleLabel = nullptr;
    QComboBox* m_combo;
};

// The same choice as a compact capsule (globe and the language's short code)
// that opens a menu with check marks. Main thread.
class TarnLanguageMenuButton : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(bool isFollowingSystem READ isFollowingSystem)
    Q_PROPERTY(QString badgeText READ badgeText)
public:
    using OnSelect = std::function<void(TarnLanguage)>;

    TarnLanguageMenuButton(TarnLanguage language, OnSelect onSelect, QWidget* parent = nullptr);
    TarnLanguageMenuButton(TarnLanguage language, OnSelect onSelect,
                           TarnLanguagePreference& preference, QWidget* parent = nullptr);

    TarnLanguage language() const { return m_language; }
    void setLanguage(TarnLanguage language);
    bool isFollowingSystem() const { return m_state.isFollowingSystem(); }
    QString badgeText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuildMenu();

    TarnLanguage m_language;
    OnSelect m_onSelect;
    TarnLanguagePickerState m_state;
};

} // namespace tarn
