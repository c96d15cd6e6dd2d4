#include "QuillerApp/Views/CollectionRunnerAndBenchmarkView.h"

namespace quiller {

CollectionRunnerAndBenchmarkView::CollectionRunnerAndBenchmarkView(QuillerViewModel&,
                                                                   ViewModelBridge&,
                                                                   QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("CollectionRunnerAndBenchmarkView"));
}

} // namespace quiller
