// Baby Jubjub points in twisted Edwards form (a = −1), extended coordinates.
//
// A point (X, Y, T, Z) stands for the affine (X/Z, Y/Z), with X·Y = T·Z and Z
// never zero; the neutral point is (0, 1, 0, 1). Because −1 is a square in Fr
// and d is not, the addition law is complete: no input needs a special case,
// which is also what lets the constant-time multiplications run without
// branches.
//
// The kind marker records, at compile time only, whether a point is known to
// lie in the prime-order subgroup: PrimeOrder for the fixed generators and
// their multiples, Unknown for points decoded from bytes or built from
// coordinates. A PrimeOrder point converts to Unknown implicitly; the way
// back is the cofactor multiple.
//
// Scalar multiplication: `mul` and FixedBaseTable::mul take secret scalars
// (private keys, nonces) and run in constant time: the sequence of field
// operations and the memory they touch do not depend on the scalar's bits.
// `mul_var` is for public scalars (verification, order checks) and may branch
// on them. Every method gives the point of plain double-and-add.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/error.h"
#include "curve/jubjub_params.h"
#include "field/fs.h"

namespace lumora::curve::edwards {

using field::Fr;
using field::Fs;
using field::Repr;

struct PrimeOrder {};
struct Unknown {};

template <class Kind>
class Point;

namespace detail {

struct Extended {
    Fr x, y, t, z;
};

// The arithmetic behind Point, on bare coordinates.
Extended add(const Extended& p, const Extended& q, const JubjubParams& params);
Extended dbl(const Extended& p);
bool equal(const Extended& p, const Extended& q);
Extended mul_ct(const Extended& p, const Fs& scalar, const JubjubParams& params);
Extended mul_var(const Extended& p, const Repr& scalar, const JubjubParams& params);
std::pair<Fr, Fr> to_xy_ct(const Extended& p);
Extended to_affine_ct(const Extended& p);
std::pair<Extended, Extended> to_affine_pair_ct(const Extended& p, const Extended& q);
std::pair<Fr, Fr> to_xy_var(const Extended& p);
std::array<std::uint8_t, 32> write(const Extended& p);

}  // namespace detail

template <class Kind>
class Point {
    static_assert(std::is_same_v<Kind, PrimeOrder> || std::is_same_v<Kind, Unknown>);

public:
    // The neutral point (0, 1, 0, 1).
    Point() : e_{Fr::zero(), Fr::one(), Fr::zero(), Fr::one()} {}
    static Point zero() { return Point(); }

    // Relabelling: a point known to be of prime order is a point.
    operator Point<Unknown>() const
        requires std::is_same_v<Kind, PrimeOrder>
    {
        return Point<Unknown>(e_);
    }

    // The extended coordinates, for callers that need the raw form.
    const Fr& x() const { return e_.x; }
    const Fr& y() const { return e_.y; }
    const Fr& t() const { return e_.t; }
    const Fr& z() const { return e_.z; }

    // The group law (complete, so any two points); `params` supplies d.
    Point add(const Point& other, const JubjubParams& params) const {
        return Point(detail::add(e_, other.e_, params));
    }
    Point dbl() const { return Point(detail::dbl(e_)); }
    // X and T negated; Y and Z unchanged.
    Point negate() const { return Point(Extended{-e_.x, e_.y, -e_.t, e_.z}); }
    // 8 times the point (three doublings): always in the prime-order subgroup.
    Point<PrimeOrder> mul_by_cofactor() const { return Point<PrimeOrder>(detail::dbl(detail::dbl(detail::dbl(e_)))); }

    // scalar·P for the canonical integer of `scalar`, in constant time.
    Point mul(const Fs& scalar, const JubjubParams& params) const {
        return Point(detail::mul_ct(e_, scalar, params));
    }
    // scalar·P for any 256-bit integer (the subgroup order l included), in
    // variable time: for public scalars only.
    Point mul_var(const Repr& scalar, const JubjubParams& params) const {
        return Point(detail::mul_var(e_, scalar, params));
    }

    // Same affine point (X1·Z2 = X2·Z1 and Y1·Z2 = Y2·Z1); T is not compared.
    friend bool operator==(const Point& a, const Point& b) { return detail::equal(a.e_, b.e_); }

    // Affine (x, y). The inversion of Z runs in constant time, so a point
    // derived from a secret can be converted; `to_xy_var` is quicker for
    // public points.
    std::pair<Fr, Fr> to_xy() const { return detail::to_xy_ct(e_); }
    std::pair<Fr, Fr> to_xy_var() const { return detail::to_xy_var(e_); }
    // The same point with Z = 1, in constant time. The projective form of a
    // multiple depends on how it was computed, not only on the point; this
    // one depends on the point alone, so it may be published where the
    // point is public. to_xy_var of it costs no inversion.
    Point to_affine() const { return Point(detail::to_affine_ct(e_)); }
    // Two points with Z = 1, as to_affine of each, for one inversion.
    static std::pair<Point, Point> to_affine_pair(const Point& p, const Point& q) {
        const auto [a, b] = detail::to_affine_pair_ct(p.e_, q.e_);
        return {Point(a), Point(b)};
    }

    // The packed encoding: the canonical affine y as 32 little-endian bytes,
    // with bit 255 set when the canonical affine x is odd (p < 2^254 leaves
    // the top bits of y clear). Every caller writes exactly 32 bytes, so the
    // fixed-size result leaves no short destination to report.
    std::array<std::uint8_t, 32> write() const { return detail::write(e_); }

private:
    using Extended = detail::Extended;
    explicit Point(const Extended& e) : e_(e) {}

    template <class>
    friend class Point;
    friend class FixedBaseTable;
    friend Result<Point<Unknown>> read(std::span<const std::uint8_t> bytes, const JubjubParams& params);
    friend std::optional<Point<Unknown>> from_xy(const Fr& x, const Fr& y, const JubjubParams& params);

    Extended e_;
};

// The packed encoding (as Point::write) of the affine point (x, y), for
// callers that already hold its affine coordinates: no inversion.
std::array<std::uint8_t, 32> write_xy(const Fr& x, const Fr& y);

// Decodes a packed point from the first 32 bytes of `bytes` (later bytes are
// not read). Failures, as the error's message:
//   "failed to fill whole buffer"  fewer than 32 bytes;
//   "y is not in field"            the low 255 bits are p or more;
//   "not on curve"                 no x exists for that y.
// A set sign bit with x = 0 is accepted (x = 0). No subgroup check is made.
Result<Point<Unknown>> read(std::span<const std::uint8_t> bytes, const JubjubParams& params);

// The debugging form of a failure of `read`, as the signature layer prints it
// inside its aborts, e.g. Custom { kind: InvalidInput, error: "not on curve" }.
std::string read_error_debug(const Error& error);

// The point (x, y, x·y, 1) when −x² + y² = 1 + d·x²·y², else none.
std::optional<Point<Unknown>> from_xy(const Fr& x, const Fr& y, const JubjubParams& params);

// Precomputed multiples of one prime-order base for constant-time fixed-base
// multiplication: 64 windows of 4 bits, each holding j·16^w·base for j = 1..8
// in affine form; a scalar is recoded into signed digits in [−8, 8].
class FixedBaseTable {
public:
    FixedBaseTable(const Point<PrimeOrder>& base, const JubjubParams& params);

    // scalar·base in constant time: 64 mixed additions, every table entry of
    // every window read once.
    Point<PrimeOrder> mul(const Fs& scalar) const;

    // (y − x, y + x, 2d·x·y) of an affine point.
    struct Entry {
        Fr y_minus_x, y_plus_x, xy2d;
    };

    static constexpr std::size_t WINDOWS = 64;
    static constexpr std::size_t ENTRIES_PER_WINDOW = 8;

private:
    std::vector<Entry> entries_;  // window-major
};

}  // namespace lumora::curve::edwards
