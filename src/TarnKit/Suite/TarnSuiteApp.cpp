#include "TarnKit/Suite/TarnSuiteApp.h"

#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Platform/UnicodeText.h"

namespace tarn::suiteapp {
namespace {

struct Entry {
    std::string_view rawValue;
    std::string_view symbolName;
};

// In declaration order: case i is kEntries[i].
constexpr std::array<Entry, 49> kEntries = {{
    {"Tavlor", "xmark.octagon.fill"},
    {"Heddle", "memorychip.fill"},
    {"Sketto", "waveform.path.ecg"},
    {"Corlow", "antenna.radiowaves.left.and.right"},
    {"Rillet", "sparkles"},
    {"Rasken", "cup.and.saucer.fill"},
    {"Orrin", "timer"},
    {"Pitlow", "checklist.checked"},
    {"Quiller", "paperplane.fill"},
    {"Bexton", "arrow.left.arrow.right.circle.fill"},
    {"Halvern", "arrow.down.circle.fill"},
    {"Garrick", "arrow.down.to.line.circle.fill"},
    {"Dimmock", "camera.aperture"},
    {"Ulvern", "bolt.batteryblock.fill"},
    {"Nabbet", "rectangle.topthird.inset.filled"},
    {"Sarnel", "slider.horizontal.2.square.on.square"},
    {"Morwick", "waveform.and.mic"},
    {"Gorran", "play.rectangle.on.rectangle.fill"},
    {"Emmerly", "network.badge.shield.half.filled"},
    {"Ilkett", "terminal.fill"},
    {"Fosswick", "shield.lefthalf.filled"},
    {"Dunstel", "lock.shield.fill"},
    {"Dunmere", "point.3.connected.trianglepath.dotted"},
    {"Brask", "magnifyingglass.circle.fill"},
    {"Jarrow", "book.pages.fill"},
    {"Norvale", "waveform.path"},
    {"Ossory", "scribble.variable"},
    {"Pendle", "ruler.fill"},
    {"Lankin", "music.note.list"},
    {"Aldrick", "iphone.and.arrow.forward"},
    {"Kelby", "slider.horizontal.3"},
    {"Wexley", "brain.head.profile"},
    {"Yarrel", "envelope.badge.shield.half.filled.fill"},
    {"Jessop", "cylinder.split.1x2.fill"},
    {"Kirvel", "server.rack"},
    {"Lorcan", "key.viewfinder"},
    {"Mardle", "shippingbox.fill"},
    {"Orvell", "arrow.triangle.branch"},
    {"Nimbrel", "externaldrive.fill.badge.checkmark"},
    {"Zennor", "tablecells.fill"},
    {"Pashley", "checkerboard.shield"},
    {"Quintel", "desktopcomputer.and.macbook"},
    {"Quorrel", "camera.filters"},
    {"Rudwick", "iphone.gen3.radiowaves.left.and.right"},
    {"Selborne", "externaldrive.badge.timemachine"},
    {"Tollan", "stethoscope"},
    {"Urwick", "checkmark.shield.fill"},
    {"Abbrin", "folder.fill.badge.gearshape"},
    {"Vantry", "externaldrive.badge.checkmark"},
}};

constexpr std::array<TarnSuiteApp, kEntries.size()> kAllCases = [] {
    std::array<TarnSuiteApp, kEntries.size()> cases{};
    for (std::size_t i = 0; i < cases.size(); ++i)
        cases[i] = static_cast<TarnSuiteApp>(i);
    return cases;
}();
static_assert(kAllCases.back() == TarnSuiteApp::vantry);

const Entry& entry(TarnSuiteApp app) {
    return kEntries[static_cast<std::size_t>(app)];
}

} // namespace

std::span<const TarnSuiteApp> allCases() {
    return kAllCases;
}

std::string_view rawValue(TarnSuiteApp app) {
    return entry(app).rawValue;
}

std::string lowercasedRawValue(TarnSuiteApp app) {
    return text::lowercased(rawValue(app));
}

std::optional<TarnSuiteApp> fromRaw(std::string_view text) {
    for (std::size_t i = 0; i < kEntries.size(); ++i)
        if (kEntries[i].rawValue == text)
            return static_cast<TarnSuiteApp>(i);
    return std::nullopt;
}

std::string bundleIdentifier(TarnSuiteApp app) {
    std::string identifier = buildinfo::suitePrefix;
    identifier.push_back('.');
    identifier += lowercasedRawValue(app);
    return identifier;
}

std::string_view symbolName(TarnSuiteApp app) {
    return entry(app).symbolName;
}

} // namespace tarn::suiteapp
