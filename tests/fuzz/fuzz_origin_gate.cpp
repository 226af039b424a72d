// Arbitrary request heads and settings through the origin gate: nothing
// crashes, the decision is stable, and an origin the gate lets through is
// one that round-trips through its own text form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/origin_gate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    // The first line is the setting, the rest the request head.
    const std::size_t nl = input.find('\n');
    const std::string setting = nl == std::string::npos ? input : input.substr(0, nl);
    const std::string head = nl == std::string::npos ? std::string() : input.substr(nl + 1);

    const qex::OriginGate gate = qex::OriginGate::FromSetting(setting);
    for (const qex::Origin& o : gate.origins()) {
        qex::Origin again;
        if (!qex::ParseOrigin(o.ToString(), &again) || !(again == o)) std::abort();
    }
    const qex::OriginGate::Verdict first = gate.Check(head);
    const qex::OriginGate::Verdict second = gate.Check(head);
    if (first.allowed != second.allowed || first.statusLine != second.statusLine) std::abort();
    if (first.allowed == !first.statusLine.empty()) std::abort();

    const qex::RequestSource source = qex::FindRequestSource(head);
    if (first.allowed && gate.enabled()) {
        if (source.kind != qex::RequestSource::kOrigin || !gate.Allows(source.origin)) std::abort();
    }
    qex::Origin fromUrl;
    if (qex::OriginOfUrl(head, &fromUrl)) {
        qex::Origin again;
        if (!qex::ParseOrigin(fromUrl.ToString(), &again) || !(again == fromUrl)) std::abort();
    }
    return 0;
}
