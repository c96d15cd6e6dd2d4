#include "QuillerApp/App/QuillerApplication.h"

int main(int argc, char** argv) {
    return quiller::runQuillerApplication(argc, argv);
}
