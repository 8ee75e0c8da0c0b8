#include "curve/multiples.h"

#include <array>
#include <cstdint>

namespace lumora::curve {
inline namespace LUMORA_KERNEL_NS {

namespace {

using field::Repr;
using field::u64;
using UnknownPoint = edwards::Point<edwards::Unknown>;

// Width-4 signed digits of a public integer below 2^256, least significant
// first: every nonzero digit is odd, in [−7, 7], and followed by three zeros.
using SignedDigits = std::array<std::int8_t, 257>;

SignedDigits recode_wnaf4_var(const Repr& scalar) {
    SignedDigits digits{};
    u64 k[5] = {scalar[0], scalar[1], scalar[2], scalar[3], 0};
    for (std::size_t i = 0; (k[0] | k[1] | k[2] | k[3] | k[4]) != 0; ++i) {
        if (k[0] & 1) {
            int d = static_cast<int>(k[0] & 15);
            if (d >= 8) d -= 16;
            digits[i] = static_cast<std::int8_t>(d);
            // k −= d, carrying or borrowing through the limbs.
            const u64 magnitude = static_cast<u64>(d > 0 ? d : -d);
            u64 c = magnitude;
            for (auto& limb : k) {
                const u64 before = limb;
                limb = d > 0 ? limb - c : limb + c;
                c = d > 0 ? (before < c ? 1 : 0) : (limb < c ? 1 : 0);
            }
        }
        for (int j = 0; j < 4; ++j) k[j] = (k[j] >> 1) | (k[j + 1] << 63);
        k[4] >>= 1;
    }
    return digits;
}

// Sums by digit for one scalar: bucket j collects ±2^i·P over the positions i
// whose digit is ±(2j + 1).
class Buckets {
public:
    void add(int digit, const UnknownPoint& q, const UnknownPoint& minus_q, const AltJubjubBn256& params) {
        const auto j = static_cast<std::size_t>((digit < 0 ? -digit : digit) / 2);
        const UnknownPoint& signed_q = digit < 0 ? minus_q : q;
        if (used_[j]) {
            sums_[j] = sums_[j].add(signed_q, params);
        } else {
            sums_[j] = signed_q;
            used_[j] = true;
        }
    }

    // The sum over j of (2j + 1)·bucket_j = 2·sum_j (j + 1)·bucket_j − sum_j bucket_j,
    // by running sums from the top bucket down.
    UnknownPoint total(const AltJubjubBn256& params) const {
        UnknownPoint running, weighted;
        bool started = false;
        for (std::size_t j = sums_.size(); j-- > 0;) {
            if (used_[j]) running = started ? running.add(sums_[j], params) : sums_[j];
            if (used_[j] && !started) {
                weighted = running;
                started = true;
            } else if (started) {
                weighted = weighted.add(running, params);
            }
        }
        if (!started) return UnknownPoint::zero();
        return weighted.dbl().add(running.negate(), params);
    }

private:
    std::array<UnknownPoint, 4> sums_{};
    std::array<bool, 4> used_{};
};

}  // namespace

// Each 2^i·P of the chain goes into the buckets of the digits that a and b
// have at position i.
std::pair<UnknownPoint, UnknownPoint> two_multiples_var(const UnknownPoint& p, const Repr& a, const Repr& b,
                                                        const AltJubjubBn256& params) {
    const SignedDigits da = recode_wnaf4_var(a), db = recode_wnaf4_var(b);
    std::size_t top = da.size();
    while (top > 0 && da[top - 1] == 0 && db[top - 1] == 0) --top;
    Buckets ba, bb;
    UnknownPoint q = p;
    for (std::size_t i = 0; i < top; ++i) {
        if (i > 0) q = q.dbl();
        if (da[i] == 0 && db[i] == 0) continue;
        const UnknownPoint minus_q = q.negate();
        if (da[i] != 0) ba.add(da[i], q, minus_q, params);
        if (db[i] != 0) bb.add(db[i], q, minus_q, params);
    }
    return {ba.total(params), bb.total(params)};
}

}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::curve
