#pragma once

// The pictures that scripts/screenshots renders: every screen, sheet and
// notable widget, in English and Turkish, offscreen, to PNG files.
//
// Adding a picture is one registration in any .cpp file of tests/pictures
// (every file there is compiled into the program):
//
//     QUILLER_PICTURE("design/toast-error", [](quiller::pictures::PictureContext& context) {
//         auto toast = std::make_unique<TarnToastBanner>(...context.language...);
//         return toast;                      // grabbed at its size hint,
//     });                                    // or at the size it was given
//
// The name is the file's path below the language folder ("design/toast-error"
// is written as <folder>/en/design/toast-error.png). A render function builds
// its widget from the context's language and, for views, over the context's
// fixture view model, which holds the same workspace on every run.
//
// Threads: the GUI thread.

#include "QuillerApp/ViewModels/QuillerViewModel.h"
#include "TarnKit/Localization/TarnLanguage.h"

#include <QColor>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quiller::pictures {

class PictureContext {
public:
    explicit PictureContext(tarn::TarnLanguage language);
    ~PictureContext();

    // The language the picture is drawn in; also the suite's current language.
    const tarn::TarnLanguage language;
    // The backdrop behind widgets that are translucent.
    QColor background = QColor::fromRgb(0x1c, 0x1f, 0x26);

    // A view model over fakes, made at first use: the built-in workspace with
    // its fixed identifiers, no history, nothing running, the context's language.
    QuillerViewModel& viewModel();

private:
    struct Fixture;
    std::unique_ptr<Fixture> m_fixture;
};

using RenderFunction = std::function<std::unique_ptr<QWidget>(PictureContext&)>;

struct Picture {
    std::string name;
    RenderFunction render;
};

// Every registered picture, sorted by name.
const std::vector<Picture>& registeredPictures();

// Used by QUILLER_PICTURE; returns true so it can initialise a static.
bool registerPicture(std::string name, RenderFunction render);

} // namespace quiller::pictures

#define QUILLER_PICTURE_JOIN2(a, b) a##b
#define QUILLER_PICTURE_JOIN(a, b) QUILLER_PICTURE_JOIN2(a, b)
#define QUILLER_PICTURE(name, ...)                                                                 \
    static const bool QUILLER_PICTURE_JOIN(quillerPicture, __LINE__) =                             \
        ::quiller::pictures::registerPicture(name, __VA_ARGS__)
