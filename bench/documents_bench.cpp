// Document decoding speed. Each benchmark reports `per_KiB`, the decoding
// time per 1024 bytes of document; decoding is linear in the document's size,
// so the figure should hold from one size to the next.
#include <benchmark/benchmark.h>

#include <string>

#include "sdk/documents.h"

namespace {

const std::string LIMIT_ORDER =
    R"({"amount_synthetic":"2455364158353014507","amount_collateral":"110102255","amount_fee":"4037333481507712181",)"
    R"("asset_id_synthetic":"0x6b9f66b1d0646cf9129c03b0b9cf3dde",)"
    R"("asset_id_collateral":"0x1161dd7c8b57184763bd99728bc193896927a6638e2ca2342190581a08cfadab",)"
    R"("position_id":"17659510478752876130","is_buying_synthetic":true,"nonce":"8142142516016631150",)"
    R"("public_key":"0x2b114c6d81867e6e36b3e407f3a185d4691bd9ab3be9d55e6569d080f5f0a1b2",)"
    R"("expiration_timestamp":"424898232"})";

// A pretty-printed liquidation, as callers usually send one.
std::string typical_liquidation() {
    return "{\n \"liquidated_position_id\": \"3989447064398071781\",\n \"liquidator_order\": " + LIMIT_ORDER +
           ",\n \"actual_synthetic\": \"668316562\",\n \"actual_liquidator_fee\": \"7482738487935980838\",\n"
           " \"actual_collateral\": \"6188231661246946374\"\n}";
}

// An oracle price followed by about `bytes` of members it drops: strings with
// escapes, numbers, and nested arrays and objects.
std::string oracle_with_dropped_members(std::size_t bytes) {
    std::string doc = R"({"signer_key":"0x1","external_price":"2","timestamp":"3","signed_asset_id":"0x4")";
    const std::string member =
        R"(,"note":"caf\u00e9 \ud83d\ude00 plain text of some length","n":[1,-2.5e-3,3e10,true,null],)"
        R"("o":{"a":[[{"b":"c"}]],"d":{"e":[]}})";
    while (doc.size() < bytes) doc += member;
    return doc + "}";
}

// One dropped member nested `depth` levels deep.
std::string oracle_with_deep_member(std::size_t depth) {
    return R"({"signer_key":"0x1","external_price":"2","timestamp":"3","signed_asset_id":"0x4","x":)" +
           std::string(depth, '[') + std::string(depth, ']') + "}";
}

template <class Decode>
void run(benchmark::State& state, const std::string& doc, Decode decode) {
    for (auto _ : state) {
        auto parsed = decode(doc);
        if (!parsed.ok()) {
            state.SkipWithError(parsed.error().report().c_str());
            break;
        }
        benchmark::DoNotOptimize(parsed);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.size()));
    state.counters["per_KiB"] =
        benchmark::Counter(static_cast<double>(doc.size()) / 1024.0,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_DecodeLimitOrder(benchmark::State& state) {
    run(state, LIMIT_ORDER, lumora::sdk::parse_document<lumora::sdk::LimitOrderRequest>);
}
BENCHMARK(BM_DecodeLimitOrder);

void BM_DecodeTypicalLiquidation(benchmark::State& state) {
    run(state, typical_liquidation(), lumora::sdk::parse_document<lumora::sdk::Liquidate>);
}
BENCHMARK(BM_DecodeTypicalLiquidation);

void BM_DecodeDroppedMembers(benchmark::State& state) {
    run(state, oracle_with_dropped_members(static_cast<std::size_t>(state.range(0)) << 20),
        lumora::sdk::parse_document<lumora::sdk::SignedOraclePrice>);
}
BENCHMARK(BM_DecodeDroppedMembers)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_DecodeDeepDroppedMember(benchmark::State& state) {
    run(state, oracle_with_deep_member(static_cast<std::size_t>(state.range(0)) << 19),
        lumora::sdk::parse_document<lumora::sdk::SignedOraclePrice>);
}
BENCHMARK(BM_DecodeDeepDroppedMember)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace
