#include "TarnKit/Suite/TarnSuiteCommandEnvelope.h"

#include "TarnKit/Suite/SuiteRecordCoding.h"

namespace tarn {

void writeFields(suite::detail::FieldWriter& out, const TarnSuiteCommandEnvelope& r) {
    out.add("id", r.id.string());
    out.add("timestamp", r.timestamp);
    out.add("sourceApp", std::string(suiteapp::rawValue(r.sourceApp)));
    out.add("targetApp", std::string(suiteapp::rawValue(r.targetApp)));
    out.add("kind", std::string(commandkind::rawValue(r.kind)));
    out.add("targetPID", r.targetPID);
    out.add("targetName", r.targetName);
    out.add("payload", r.payload);
}

TarnSuiteCommandEnvelope readFields(const suite::detail::FieldReader& in,
                                    suite::RecordTag<TarnSuiteCommandEnvelope>) {
    TarnSuiteCommandEnvelope r;
    r.id = in.requiredEnum<UUID>("id", UUID::fromString);
    r.timestamp = in.required<suite::Date>("timestamp");
    r.sourceApp = in.requiredEnum<TarnSuiteApp>("sourceApp", suiteapp::fromRaw);
    r.targetApp = in.requiredEnum<TarnSuiteApp>("targetApp", suiteapp::fromRaw);
    r.kind = in.requiredEnum<TarnSuiteCommandKind>("kind", commandkind::fromRaw);
    r.targetPID = in.optional<std::int32_t>("targetPID");
    r.targetName = in.optional<std::string>("targetName");
    r.payload = in.optional<std::string>("payload");
    return r;
}

TARN_SUITE_RECORD_CODEC(TarnSuiteCommandEnvelope)

} // namespace tarn
