#include "QuillerApp/App/QuillerApplication.h"

#include "TarnKit/Platform/BuildInfo.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

namespace quiller {

int runQuillerApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(tarn::buildinfo::productName));
    QApplication::setApplicationVersion(QString::fromUtf8(tarn::buildinfo::version));

    QWidget window;
    window.setObjectName(QStringLiteral("studioWindow"));
    window.setWindowTitle(QApplication::applicationName());
    auto* layout = new QVBoxLayout(&window);
    auto* title = new QLabel(QApplication::applicationName(), &window);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    window.resize(960, 640);
    window.show();
    return QApplication::exec();
}

} // namespace quiller
