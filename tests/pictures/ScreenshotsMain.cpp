// Renders every registered picture in English and Turkish to
// <folder>/<language>/<name>.png on the offscreen platform.
//
//     quiller_screenshots <folder> [name filter]
//
// The process's XDG folders point into a temporary folder first, so nothing
// the widgets store (the language preference) reaches the user's home.

#include "PictureRegistry.h"
#include "TarnKit/Localization/TarnLanguagePreference.h"
#include "support/TemporaryFolder.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

// The widget's picture over the backdrop colour, at twice the logical size so
// text and symbols can be judged.
QImage picture(QWidget& widget, const QColor& background) {
    widget.setAttribute(Qt::WA_DontShowOnScreen);
    if (widget.size() == QSize(640, 480) || widget.size().isEmpty())
        widget.resize(widget.sizeHint().expandedTo(QSize(16, 16)));
    widget.show();
    QCoreApplication::processEvents();
    const qreal ratio = 2.0;
    QImage image(widget.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(background);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s <folder> [name filter]\n", argv[0]);
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    tarn::testing::TemporaryFolder home{"quiller-pictures"};
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        ::setenv(variable, (home.path() / variable).c_str(), 1);

    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setApplicationName(QStringLiteral("Quiller"));
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const std::string filter = argc == 3 ? argv[2] : "";

    int written = 0;
    int failed = 0;
    for (const tarn::TarnLanguage language : {tarn::TarnLanguage::en, tarn::TarnLanguage::tr}) {
        tarn::language::setCurrent(language);
        const QString languageFolder =
            folder + QLatin1Char('/') +
            QString::fromLatin1(tarn::rawValue(language).data(),
                                static_cast<qsizetype>(tarn::rawValue(language).size()));
        for (const quiller::pictures::Picture& entry : quiller::pictures::registeredPictures()) {
            if (!filter.empty() && entry.name.find(filter) == std::string::npos)
                continue;
            const QString path = languageFolder + QLatin1Char('/') +
                                 QString::fromStdString(entry.name) + QStringLiteral(".png");
            try {
                quiller::pictures::PictureContext context(language);
                std::unique_ptr<QWidget> widget = entry.render(context);
                QDir().mkpath(QFileInfo(path).path());
                if (!widget || !picture(*widget, context.background).save(path)) {
                    std::fprintf(stderr, "screenshots: could not write %s\n", qPrintable(path));
                    ++failed;
                    continue;
                }
                ++written;
            } catch (const std::exception& error) {
                std::fprintf(stderr, "screenshots: %s failed: %s\n", entry.name.c_str(),
                             error.what());
                ++failed;
            }
        }
    }
    std::printf("screenshots: %d pictures in %s\n", written, qPrintable(folder));
    return failed == 0 && written > 0 ? 0 : 1;
}
