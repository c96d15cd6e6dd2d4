#pragma once

// The environments and settings tab: the active environment's variables with
// the form for a new one, .env import and export, and the two settings the
// studio offers (launch at login, interface language). The view owns only
// the variable form; a tab switch builds a fresh view and with it a fresh
// form. Without an active environment only the settings card shows.
//
// Threads: the GUI thread.

#include "QuillerApp/Views/KeyedRowStack.h"
#include "TarnKit/Localization/TarnLanguage.h"

#include <QColor>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QAbstractButton;

namespace tarn {
class TarnGlassCard;
class TarnLanguagePicker;
class TarnLanguagePreference;
} // namespace tarn

namespace quiller {

class QuillerViewModel;
class ViewModelBridge;
struct APIEnvironmentProfile;
struct ViewModelChanges;

// The variable being typed and the masking choice of the file export.
struct EnvVarFormState {
    std::string key{};
    std::string value{};
    bool isSecret = false;
    bool exportMaskSecrets = true;
};

class EnvironmentsAndSettingsView final : public QWidget {
    Q_OBJECT
public:
    EnvironmentsAndSettingsView(QuillerViewModel& model, ViewModelBridge& bridge,
                                QWidget* parent = nullptr);
    // With the language preference the picker stores to (tests give their own).
    EnvironmentsAndSettingsView(QuillerViewModel& model, ViewModelBridge& bridge,
                                tarn::TarnLanguagePreference& preference,
                                QWidget* parent = nullptr);

    const EnvVarFormState& form() const { return m_form; }

    // What a secret variable shows in place of its value.
    static QString secretMask();

private:
    QWidget* buildEnvironmentCard();
    QWidget* buildSettingsCard();
    void addVariable();
    void chooseLanguage(tarn::TarnLanguage language);

    // The environment the actions work on: the one whose identifier is the
    // active one (none when no environment has it).
    const APIEnvironmentProfile* activeEnvironment() const;

    void refresh(const ViewModelChanges* changes);
    void refreshEnvironment();
    void retranslate();

    QuillerViewModel& m_model;
    tarn::TarnLanguagePreference& m_preference;
    EnvVarFormState m_form;
    QColor m_accent;

    tarn::TarnGlassCard* m_environmentCard = nullptr;
    QLabel* m_heading = nullptr;
    QLabel* m_note = nullptr;
    QAbstractButton* m_importFile = nullptr;
    QAbstractButton* m_importClipboard = nullptr;
    QAbstractButton* m_exportMasked = nullptr;
    QAbstractButton* m_exportFile = nullptr;
    QCheckBox* m_maskToggle = nullptr;
    QLineEdit* m_keyField = nullptr;
    QLineEdit* m_valueField = nullptr;
    QCheckBox* m_secretToggle = nullptr;
    QAbstractButton* m_addButton = nullptr;
    std::unique_ptr<KeyedRowStack> m_variableRows;
    QCheckBox* m_launchToggle = nullptr;
    QLabel* m_languageLabel = nullptr;
    tarn::TarnLanguagePicker* m_picker = nullptr;
};

} // namespace quiller
