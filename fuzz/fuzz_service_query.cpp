// The service reads query texts and form bodies from anyone who can reach its port: any bytes must
// give a reply (never a crash), as a tagged GET and as a form POST, through the whole command table.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "velkora_service/QueryText.h"
#include "velkora_service/Service.h"

using namespace velkora::service;

namespace {

Service& service() {
    static Service* s = [] {
        auto* created = new Service();
        if (!created->start()) __builtin_trap();
        return created;
    }();
    return *s;
}

void checkReply(const LocalReply& reply) {
    // Every answer is a JSON object: the parsers and commands refuse bad input with an "error" key.
    if (reply.dropped || reply.status != 200 || reply.body.empty() || reply.body.front() != '{') __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);

    QueryText params = QueryText::parse(text);
    for (const auto& [key, value] : params.pairs()) {
        (void)parseInteger(value);
        (void)parseDecimal(value);
    }
    (void)checkTag("https://127.0.0.1:1/VelkoraServer2/api", text);

    // The same text as a GET with a correct tag, so the commands run, and as a form body.
    std::string tagged = text + "&ts=1700000000.000000";
    uint32_t crc = crc32Of(service().endpoint() + "?" + tagged);
    checkReply(service().answer("GET", "/VelkoraServer2/api?" + tagged + "&crc=" + std::to_string(crc)));
    checkReply(service().answer("POST", "/VelkoraServer2/api", text));
    service().clearRequests();
    return 0;
}
