// A service reply as the HTTP client collects it: the body in pieces of any size. Text mode keeps each
// 1024-byte block up to its first NUL and refuses bodies over the limit; buffer mode keeps exactly what
// fits. The text then goes to the version-check reply parser and the link-file reader.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "update/http_client.h"
#include "update/version_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qv7;
    FuzzedDataProvider in(data, size);
    const std::size_t maxText = in.ConsumeIntegralInRange<std::size_t>(0, 8192);
    const std::size_t bufferSize = in.ConsumeIntegralInRange<std::size_t>(0, 4096);
    std::vector<std::size_t> cuts;
    for (int n = in.ConsumeIntegralInRange<int>(0, 16); n > 0; --n)
        cuts.push_back(in.ConsumeIntegralInRange<std::size_t>(0, 2048));
    const std::string body = in.ConsumeRemainingBytesAsString();

    // The body in the pieces the cuts give; the last piece takes the rest.
    std::vector<std::string_view> pieces;
    std::string_view rest(body);
    for (std::size_t cut : cuts) {
        const std::size_t n = std::min(cut, rest.size());
        pieces.push_back(rest.substr(0, n));
        rest.remove_prefix(n);
    }
    pieces.push_back(rest);

    // What the text mode must give, block by block.
    std::string expected;
    for (std::size_t off = 0; off < body.size(); off += 1024) {
        const std::string_view block = std::string_view(body).substr(off, 1024);
        expected.append(block.substr(0, block.find('\0')));
    }
    std::string reply = "stale";
    const bool ok = CollectTextReply(pieces, maxText, reply);
    fuzz::require(ok == (body.size() <= maxText), "the text limit was applied wrongly");
    fuzz::require(ok ? reply == expected : reply.empty(), "the collected text is not the body's blocks");

    std::vector<uint8_t> buffer(bufferSize + 1, 0xA5);
    bool longer = false;
    const std::size_t kept = CollectBufferReply(pieces, buffer.data(), bufferSize, longer);
    fuzz::require(kept == std::min(body.size(), bufferSize), "buffer mode kept the wrong count");
    fuzz::require(longer == (body.size() > bufferSize), "buffer mode misjudged a longer body");
    fuzz::require(std::memcmp(buffer.data(), body.data(), kept) == 0, "buffer mode changed the bytes");
    fuzz::require(buffer[bufferSize] == 0xA5, "buffer mode wrote past the buffer");

    if (ok) {
        (void)ParseVersionCheckReply(reply);
        (void)ExtractLinkAddress(reply);
    }
    return 0;
}
