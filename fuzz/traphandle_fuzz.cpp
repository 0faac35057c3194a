// libFuzzer target: a notification's bindings as the journal's writer reads them. Any bytes, in
// any pieces, must give the same bounded reading, and an event whose texts are UTF-8 a line each
// where the journal keeps lines.
#include "events/decode.h"
#include "events/trapinput.h"

#include <cstdlib>
#include <string_view>

namespace {

bool ValidUtf8(const std::string& s) {
    return events::SanitizeText(s) == s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const events::HandlerInput whole = events::ReadHandlerInput(text);
    // The same bytes in pieces read the same: the reader keeps no more than its state.
    events::HandlerInputReader pieces;
    for (size_t at = 0, step = 1; at < size; at += step, step = step * 2 + 1)
        pieces.feed(text.substr(at, step));
    const events::HandlerInput& split = pieces.finish();
    if (split.bindings.size() != whole.bindings.size() || split.sender != whole.sender ||
        split.droppedBindings != whole.droppedBindings)
        std::abort();
    if (whole.bindings.size() > events::kMaxBindings || whole.host.size() > events::kMaxLine ||
        whole.transport.size() > events::kMaxLine)
        std::abort();
    for (size_t i = 0; i < whole.bindings.size(); ++i) {
        const events::Binding& b = whole.bindings[i];
        if (b.value.size() > events::kMaxValue || b.oid.size() > events::kMaxOid ||
            b.value != split.bindings[i].value)
            std::abort();
    }
    const events::Event e = events::Decode(whole, 0);
    if (!ValidUtf8(e.summary) || !ValidUtf8(e.bindings) || !ValidUtf8(e.port) ||
        !ValidUtf8(e.event) || !ValidUtf8(e.sender) || !ValidUtf8(e.oid) ||
        e.summary.find('\n') != std::string::npos || e.summary.size() > 400)
        std::abort();
    return 0;
}
