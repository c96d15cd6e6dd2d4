#include "QuillerApp/ViewModels/QuillerTab.h"

#include <array>

namespace quiller {

std::string_view rawValue(QuillerTab tab) {
    switch (tab) {
    case QuillerTab::client:
        return "client";
    case QuillerTab::history:
        return "history";
    case QuillerTab::runner:
        return "runner";
    case QuillerTab::streaming:
        return "streaming";
    case QuillerTab::mcp:
        return "mcp";
    case QuillerTab::proxy:
        return "proxy";
    case QuillerTab::environments:
        return "environments";
    }
    return "client";
}

std::string_view id(QuillerTab tab) {
    return rawValue(tab);
}

template <> std::span<const QuillerTab> allCases<QuillerTab>() {
    static constexpr std::array cases = {
        QuillerTab::client, QuillerTab::history, QuillerTab::runner,      QuillerTab::streaming,
        QuillerTab::mcp,    QuillerTab::proxy,   QuillerTab::environments};
    return cases;
}

} // namespace quiller
