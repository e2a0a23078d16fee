// libFuzzer target for the defaults file's text: parsing must never crash, every typed read over
// the result must hold up, and what parses must come back identical (types included) once rewritten.
#include "JsonFileDefaults.h"
#include "MemoryDefaults.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using quorvel::Json;

// nlohmann's == calls 1 and 1.0 equal; the store must not turn one into the other.
bool sameValue(const Json& a, const Json& b) {
    if (a.type() != b.type() || a.size() != b.size()) return false;
    if (a.is_object()) {
        for (auto ia = a.begin(), ib = b.begin(); ia != a.end(); ++ia, ++ib)
            if (ia.key() != ib.key() || !sameValue(*ia, *ib)) return false;
        return true;
    }
    if (a.is_array()) {
        for (std::size_t i = 0; i < a.size(); ++i)
            if (!sameValue(a[i], b[i])) return false;
        return true;
    }
    return a == b;
}

void readEveryWay(const quorvel::DefaultsStore& store) {
    for (const auto& key : store.keys()) {
        (void)store.object(key);
        (void)store.boolean(key);
        (void)store.integer(key);
        (void)store.number(key);
        (void)store.string(key);
        (void)store.date(key);
        (void)store.stringList(key);
        (void)store.stringMap(key);
        (void)store.numberMap(key);
        (void)store.boolFor(key);
        (void)store.integerFor(key);
        (void)store.stringFor(key);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto values = quorvel::JsonFileDefaults::parse(text);
    if (!values) return 0;

    quorvel::sim::MemoryDefaults store;
    for (const auto& [key, value] : *values) store.set(key, value);
    readEveryWay(store);

    // Written the way the store writes its file, then read back: nothing may change.
    const Json document(*values);
    const auto again = quorvel::JsonFileDefaults::parse(document.dump(2, ' ', false, Json::error_handler_t::replace));
    if (!again || again->size() != values->size()) std::abort();
    for (auto ia = values->begin(), ib = again->begin(); ia != values->end(); ++ia, ++ib)
        if (ia->first != ib->first || !sameValue(ia->second, ib->second)) std::abort();
    return 0;
}
