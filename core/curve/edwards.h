// Points of a twisted Edwards curve with a = −1, in extended coordinates,
// generic over the curve's parameter set; Baby Jubjub is the curve of the
// system (Point, FixedBaseTable below), and the arithmetic is tested
// exhaustively on a small curve of the same shape.
//
// A point (X, Y, T, Z) stands for the affine (X/Z, Y/Z), with X·Y = T·Z and Z
// never zero; the neutral point is (0, 1, 0, 1). Because −1 is a square in
// the base field and d is not, the addition law is complete: no input needs
// a special case, which is also what lets the constant-time multiplications
// run without branches.
//
// A curve parameter set C supplies
//   C::Base     the coordinate field (an Element of the Montgomery engine,
//               with a NON_RESIDUE for square roots), below 2^254;
//   C::Scalar   the field of the prime-order subgroup's scalars, order l;
//   edwards_d(), edwards_2d()  d and 2d in C::Base;
// and its group has order 8·l (cofactor 8).
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
#include <concepts>
#include <cstdint>
#include <optional>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/error.h"
#include "common/kernel_copy.h"
#include "curve/jubjub_params.h"
#include "field/fs.h"

namespace lumora::curve {
inline namespace LUMORA_KERNEL_NS {
namespace edwards {

using field::Repr;

struct PrimeOrder {};
struct Unknown {};

// What the point code reads from a curve parameter set (see above).
template <class C>
concept EdwardsCurve = requires(const C& c) {
    typename C::Base;
    typename C::Scalar;
    { c.edwards_d() } -> std::same_as<const typename C::Base&>;
    { c.edwards_2d() } -> std::same_as<const typename C::Base&>;
};

template <class Curve, class Kind>
class CurvePoint;

namespace detail {

template <class F>
struct Extended {
    F x, y, t, z;
};

template <class Curve>
using ExtendedOf = Extended<typename Curve::Base>;

// The arithmetic behind CurvePoint, on bare coordinates (edwards_impl.h).
template <class Curve>
ExtendedOf<Curve> add(const ExtendedOf<Curve>& p, const ExtendedOf<Curve>& q, const Curve& params);
template <class F>
Extended<F> dbl(const Extended<F>& p);
template <class F>
bool equal(const Extended<F>& p, const Extended<F>& q);
template <class Curve>
ExtendedOf<Curve> mul(const ExtendedOf<Curve>& p, const typename Curve::Scalar& scalar, const Curve& params);
template <class Curve>
ExtendedOf<Curve> mul_var(const ExtendedOf<Curve>& p, const Repr& scalar, const Curve& params);
template <class F>
std::pair<F, F> to_xy(const Extended<F>& p);
template <class F>
Extended<F> to_affine(const Extended<F>& p);
template <class F>
std::pair<Extended<F>, Extended<F>> to_affine_pair(const Extended<F>& p, const Extended<F>& q);
template <class F>
std::pair<F, F> to_xy_var(const Extended<F>& p);
template <class F>
std::array<std::uint8_t, 32> write(const Extended<F>& p);

// Signed radix-16 digits that the constant-time multiplications use: enough
// for every integer below the scalar modulus plus a final carry.
template <class Scalar>
constexpr std::size_t scalar_windows() {
    std::size_t bits = 256;
    while (bits > 0 && !field::derive::bit(Scalar::Params::MODULUS, static_cast<unsigned>(bits - 1))) --bits;
    return (bits + 3) / 4 + 1;
}

}  // namespace detail

template <class Curve, class Kind>
class CurvePoint {
    static_assert(EdwardsCurve<Curve>);
    static_assert(std::is_same_v<Kind, PrimeOrder> || std::is_same_v<Kind, Unknown>);
    using F = typename Curve::Base;
    using Extended = detail::Extended<F>;

public:
    // The neutral point (0, 1, 0, 1).
    CurvePoint() : e_{F::zero(), F::one(), F::zero(), F::one()} {}
    static CurvePoint zero() { return CurvePoint(); }

    // Relabelling: a point known to be of prime order is a point.
    operator CurvePoint<Curve, Unknown>() const
        requires std::is_same_v<Kind, PrimeOrder>
    {
        return CurvePoint<Curve, Unknown>(e_);
    }

    // The extended coordinates, for callers that need the raw form.
    const F& x() const { return e_.x; }
    const F& y() const { return e_.y; }
    const F& t() const { return e_.t; }
    const F& z() const { return e_.z; }

    // The group law (complete, so any two points); `params` supplies d.
    CurvePoint add(const CurvePoint& other, const Curve& params) const {
        return CurvePoint(detail::add<Curve>(e_, other.e_, params));
    }
    CurvePoint dbl() const { return CurvePoint(detail::dbl(e_)); }
    // X and T negated; Y and Z unchanged.
    CurvePoint negate() const { return CurvePoint(Extended{-e_.x, e_.y, -e_.t, e_.z}); }
    // 8 times the point (three doublings): always in the prime-order subgroup.
    CurvePoint<Curve, PrimeOrder> mul_by_cofactor() const {
        return CurvePoint<Curve, PrimeOrder>(detail::dbl(detail::dbl(detail::dbl(e_))));
    }

    // scalar·P for the canonical integer of `scalar`, in constant time.
    CurvePoint mul(const typename Curve::Scalar& scalar, const Curve& params) const {
        return CurvePoint(detail::mul<Curve>(e_, scalar, params));
    }
    // scalar·P for any 256-bit integer (the subgroup order l included), in
    // variable time: for public scalars only.
    CurvePoint mul_var(const Repr& scalar, const Curve& params) const {
        return CurvePoint(detail::mul_var<Curve>(e_, scalar, params));
    }

    // Same affine point (X1·Z2 = X2·Z1 and Y1·Z2 = Y2·Z1); T is not compared.
    friend bool operator==(const CurvePoint& a, const CurvePoint& b) { return detail::equal(a.e_, b.e_); }

    // Affine (x, y). The inversion of Z runs in constant time, so a point
    // derived from a secret can be converted; `to_xy_var` is quicker for
    // public points.
    std::pair<F, F> to_xy() const { return detail::to_xy(e_); }
    std::pair<F, F> to_xy_var() const { return detail::to_xy_var(e_); }
    // The same point with Z = 1, in constant time. The projective form of a
    // multiple depends on how it was computed, not only on the point; this
    // one depends on the point alone, so it may be published where the
    // point is public. to_xy_var of it costs no inversion.
    CurvePoint to_affine() const { return CurvePoint(detail::to_affine(e_)); }
    // Two points with Z = 1, as to_affine of each, for one inversion.
    static std::pair<CurvePoint, CurvePoint> to_affine_pair(const CurvePoint& p, const CurvePoint& q) {
        const auto [a, b] = detail::to_affine_pair(p.e_, q.e_);
        return {CurvePoint(a), CurvePoint(b)};
    }

    // The packed encoding: the canonical affine y as 32 little-endian bytes,
    // with bit 255 set when the canonical affine x is odd (p < 2^254 leaves
    // the top bits of y clear). Every caller writes exactly 32 bytes, so the
    // fixed-size result leaves no short destination to report.
    std::array<std::uint8_t, 32> write() const { return detail::write(e_); }

private:
    explicit CurvePoint(const Extended& e) : e_(e) {}

    template <class, class>
    friend class CurvePoint;
    template <class>
    friend class CurveFixedBaseTable;
    template <class>
    friend class CurveOddMultiples;
    template <class C>
    friend Result<CurvePoint<C, Unknown>> read_var(std::span<const std::uint8_t> bytes,
                                                   const std::type_identity_t<C>& params);
    template <class C>
    friend std::optional<CurvePoint<C, Unknown>> from_xy(const typename C::Base& x, const typename C::Base& y,
                                                         const std::type_identity_t<C>& params);

    Extended e_;
};

// The points of Baby Jubjub.
template <class Kind>
using Point = CurvePoint<JubjubParams, Kind>;

// The packed encoding (as CurvePoint::write) of the affine point (x, y), for
// callers that already hold its affine coordinates: no inversion.
template <class F>
std::array<std::uint8_t, 32> write_xy(const F& x, const F& y);

// Decodes a packed point from the first 32 bytes of `bytes` (later bytes are
// not read), in variable time (the square root): for public bytes. Failures,
// as the error's message:
//   "failed to fill whole buffer"  fewer than 32 bytes;
//   "y is not in field"            the low 255 bits are p or more;
//   "not on curve"                 no x exists for that y.
// A set sign bit with x = 0 is accepted (x = 0). No subgroup check is made.
// The curve is Baby Jubjub unless named.
template <class Curve = JubjubParams>
Result<CurvePoint<Curve, Unknown>> read_var(std::span<const std::uint8_t> bytes,
                                            const std::type_identity_t<Curve>& params);

// The debugging form of a failure of `read_var`, as the signature layer
// prints it inside its aborts, e.g.
// Custom { kind: InvalidInput, error: "not on curve" }.
std::string read_error_debug(const Error& error);

// The point (x, y, x·y, 1) when −x² + y² = 1 + d·x²·y², else none.
template <class Curve = JubjubParams>
std::optional<CurvePoint<Curve, Unknown>> from_xy(const typename Curve::Base& x, const typename Curve::Base& y,
                                                  const std::type_identity_t<Curve>& params);

// (y − x, y + x, 2d·x·y) of an affine point: the form a table entry takes
// as the second operand of an addition.
template <class F>
struct AffineEntry {
    F y_minus_x, y_plus_x, xy2d;
};

// Precomputed multiples of one prime-order base for constant-time fixed-base
// multiplication: one window per 4 bits of the scalar field's modulus and one
// for the last carry (64 for Baby Jubjub), each holding j·16^w·base for
// j = 1..8 in affine form; a scalar is recoded into signed digits in [−8, 8].
template <class Curve>
class CurveFixedBaseTable {
    static_assert(EdwardsCurve<Curve>);
    using F = typename Curve::Base;

public:
    CurveFixedBaseTable(const CurvePoint<Curve, PrimeOrder>& base, const Curve& params);

    // scalar·base in constant time: one mixed addition per window, every
    // table entry of every window read once.
    CurvePoint<Curve, PrimeOrder> mul(const typename Curve::Scalar& scalar) const;

    using Entry = AffineEntry<F>;

    static constexpr std::size_t WINDOWS = detail::scalar_windows<typename Curve::Scalar>();
    static constexpr std::size_t ENTRIES_PER_WINDOW = 8;

private:
    std::vector<Entry> entries_;  // window-major
};

using FixedBaseTable = CurveFixedBaseTable<JubjubParams>;

// The odd multiples 1·P, 3·P, …, (2n − 1)·P of a public prime-order point P,
// affine: the table of one fixed point in variable-time products, read by the
// signed odd digits of a public scalar.
template <class Curve>
class CurveOddMultiples {
    static_assert(EdwardsCurve<Curve>);
    using F = typename Curve::Base;

public:
    CurveOddMultiples(const CurvePoint<Curve, PrimeOrder>& base, std::size_t count, const Curve& params);

    // (2j + 1)·P for j < size().
    const AffineEntry<F>& odd(std::size_t j) const { return entries_[j]; }
    std::size_t size() const { return entries_.size(); }

private:
    std::vector<AffineEntry<F>> entries_;
};

// Baby Jubjub's instances are compiled once, in edwards.cpp.
namespace detail {
extern template Extended<field::Fr> add<JubjubParams>(const Extended<field::Fr>&, const Extended<field::Fr>&,
                                                      const JubjubParams&);
extern template Extended<field::Fr> dbl<field::Fr>(const Extended<field::Fr>&);
extern template bool equal<field::Fr>(const Extended<field::Fr>&, const Extended<field::Fr>&);
extern template Extended<field::Fr> mul<JubjubParams>(const Extended<field::Fr>&, const field::Fs&,
                                                         const JubjubParams&);
extern template Extended<field::Fr> mul_var<JubjubParams>(const Extended<field::Fr>&, const Repr&,
                                                          const JubjubParams&);
extern template std::pair<field::Fr, field::Fr> to_xy<field::Fr>(const Extended<field::Fr>&);
extern template Extended<field::Fr> to_affine<field::Fr>(const Extended<field::Fr>&);
extern template std::pair<field::Fr, field::Fr> to_xy_var<field::Fr>(const Extended<field::Fr>&);
extern template std::array<std::uint8_t, 32> write<field::Fr>(const Extended<field::Fr>&);
}  // namespace detail
extern template std::array<std::uint8_t, 32> write_xy<field::Fr>(const field::Fr&, const field::Fr&);
extern template Result<Point<Unknown>> read_var<JubjubParams>(std::span<const std::uint8_t>, const JubjubParams&);
extern template std::optional<Point<Unknown>> from_xy<JubjubParams>(const field::Fr&, const field::Fr&,
                                                                    const JubjubParams&);
extern template class CurveFixedBaseTable<JubjubParams>;
extern template class CurveOddMultiples<JubjubParams>;
using OddMultiples = CurveOddMultiples<JubjubParams>;

}  // namespace edwards
}  // inline namespace LUMORA_KERNEL_NS
}  // namespace lumora::curve
