// Feeds arbitrary texts to the operations behind the module's key, hash and
// signature functions, split into up to five arguments at 0xff bytes (a byte
// no UTF-8 text holds). Every outcome must be a result, an error value or an
// abort: nothing else may escape, and the sanitizers watch memory and UB.
// Abort diagnostics go to standard error; run with 2>/dev/null to keep the
// output readable.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sdk/api.h"

namespace {

namespace api = lumora::sdk::api;
using Args = std::array<std::string_view, 5>;

template <class F>
void run(F&& call) {
    try {
        auto result = call();
        if (!result.ok() && result.error().message.empty()) std::abort();
    } catch (const lumora::Abort& abort) {
        if (abort.message().empty()) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    Args a{};
    std::size_t start = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::size_t end = std::min(input.find('\xff', start), input.size());
        a[i] = input.substr(std::min(start, input.size()), end - std::min(start, input.size()));
        start = end + 1;
    }
    run([&] { return api::verify_signature(a[0], a[1], a[2], a[3], a[4]); });
    run([&] { return api::sign(a[0], a[1]); });
    run([&] { return api::eth_sign(a[0], a[1]); });
    run([&] { return api::is_on_curve(a[0], a[1]); });
    run([&] { return api::public_key_to_xy(a[0]); });
    run([&] { return api::private_key_to_public_key_xy(a[0]); });
    run([&] { return api::private_key_from_seed(a[0]); });
    run([&] { return api::sign_limit_order(a[0], a[1]); });
    run([&] { return api::hash_liquidate(a[0]); });
    return 0;
}
