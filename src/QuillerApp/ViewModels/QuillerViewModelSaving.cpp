// What the user hears of the files: saves that fail, stored files set aside at
// start-up, and secrets kept in the private fallback file.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Utilities/TarnAppLogger.h"

#include <new>

namespace quiller {
namespace {

constexpr std::string_view kLogCategory[] = {"workspace", "history"};

} // namespace

std::string QuillerViewModel::failureDescription(const std::exception& error) {
    if (dynamic_cast<const tarn::PlatformError*>(&error) != nullptr)
        return error.what();
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr)
        return "There is not enough memory to finish the operation.";
    return "The operation failed unexpectedly.";
}

std::function<void(std::exception_ptr)> QuillerViewModel::saveOutcomeHandler(SavedFile file) {
    // Runs on the saver's thread, right after the store's call.
    return [this, file, post = mainThreadPoster(),
            store = m_ports.workspaceStore](std::exception_ptr failure) {
        std::optional<std::string> description;
        if (failure) {
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception& error) {
                description = failureDescription(error);
            } catch (...) {
                description = "The operation failed unexpectedly.";
            }
        }
        std::optional<std::filesystem::path> fallback;
        if (!failure && file == SavedFile::workspace)
            fallback = store->secretsFallbackFile();
        post([this, file, description, fallback] {
            saveFinished(file, description);
            if (fallback)
                announceSecretsFallback(*fallback);
        });
    };
}

void QuillerViewModel::saveFinished(SavedFile file, const std::optional<std::string>& failure) {
    bool& failing = m_saveFailing[static_cast<std::size_t>(file)];
    const std::string_view category = kLogCategory[static_cast<std::size_t>(file)];
    if (!failure) {
        if (failing) {
            failing = false;
            m_logger.info(file == SavedFile::workspace ? "The workspace is saved again"
                                                       : "The request history is saved again",
                          category);
        }
        return;
    }
    if (failing)
        return;
    failing = true;
    if (file == SavedFile::workspace) {
        m_logger.error("Saving the workspace failed: " + *failure, category);
        showToast(text("The workspace could not be saved (" + *failure +
                           "). Your changes are kept and saved with the next edit.",
                       "Çalışma alanı kaydedilemedi (" + *failure +
                           "). Değişiklikleriniz korunuyor ve bir sonraki düzenlemede "
                           "kaydedilecek."),
                  true);
    } else {
        m_logger.error("Saving the request history failed: " + *failure, category);
        showToast(text("The request history could not be saved (" + *failure +
                           "). It is kept and saved with the next request.",
                       "İstek geçmişi kaydedilemedi (" + *failure +
                           "). Geçmiş korunuyor ve bir sonraki istekte kaydedilecek."),
                  true);
    }
}

void QuillerViewModel::announceFilesSetAside(
    const std::optional<std::filesystem::path>& workspaceCopy,
    const std::optional<std::filesystem::path>& historyCopy) {
    // One toast for both, or the second would hide the first at once.
    std::string message;
    if (workspaceCopy)
        message = text("The workspace file could not be read; it was kept as \"" +
                           workspaceCopy->string() + "\".",
                       "Çalışma alanı dosyası okunamadı; \"" + workspaceCopy->string() +
                           "\" olarak saklandı.");
    if (historyCopy) {
        if (!message.empty())
            message += ' ';
        message += text(
            "The history file could not be read; it was kept as \"" + historyCopy->string() + "\".",
            "Geçmiş dosyası okunamadı; \"" + historyCopy->string() + "\" olarak saklandı.");
    }
    if (!message.empty())
        showToast(message, true);
}

void QuillerViewModel::announceSecretsFallback(const std::filesystem::path& file) {
    if (m_announcedSecretsFallback)
        return;
    m_announcedSecretsFallback = true;
    showToast(text("No keyring answered: secret values are kept in the private file \"" +
                       file.string() + "\".",
                   "Hiçbir anahtarlık yanıt vermedi: gizli değerler \"" + file.string() +
                       "\" özel dosyasında tutuluyor."),
              false);
}

} // namespace quiller
