#pragma once

// The studio window: one per application, identified as "studio", titled
// "Quiller — by Corvane", 1280 by 800 at first and never smaller than 1120 by
// 700, showing the studio view.
//
// Threads: the GUI thread. The view model and the bridge must outlive it.

#include <QWidget>

namespace quiller {

class MainQuillerStudioView;
class QuillerViewModel;
class ViewModelBridge;

class QuillerStudioWindow final : public QWidget {
    Q_OBJECT
public:
    QuillerStudioWindow(QuillerViewModel& model, ViewModelBridge& bridge,
                        QWidget* parent = nullptr);

    MainQuillerStudioView* studioView() const { return m_view; }

private:
    MainQuillerStudioView* m_view;
};

} // namespace quiller
