// The collection runner and the load benchmark.

#include "QuillerApp/ViewModels/QuillerViewModel.h"

namespace quiller {

void QuillerViewModel::runActiveCollectionSuite() {}

void QuillerViewModel::runLoadBenchmark(int, int) {}

} // namespace quiller
