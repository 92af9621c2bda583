#include "mpfr_oracle.hpp"

#include <cmath>

#include <mpfr.h>

namespace droplevel::oracle {
namespace {

// RAII for one MPFR variable.
struct number {
    mpfr_t value;
    explicit number(mpfr_prec_t precision) { mpfr_init2(value, precision); }
    ~number() { mpfr_clear(value); }
    number(const number&) = delete;
    number& operator=(const number&) = delete;
};

void set(mpfr_t target, scaled_significand x) {
    // Through two 32-bit halves: unsigned long is 32 bits on some targets.
    mpfr_set_ui(target, static_cast<unsigned long>(x.significand >> 32), MPFR_RNDN);
    mpfr_mul_2ui(target, target, 32, MPFR_RNDN);
    mpfr_add_ui(target, target, static_cast<unsigned long>(x.significand & 0xFFFFFFFF), MPFR_RNDN);
    mpfr_mul_2si(target, target, x.exponent, MPFR_RNDN);
}

scaled_significand get(const mpfr_t source) {
    if (mpfr_zero_p(source)) return {0, 0};
    number scaled(64);
    mpfr_exp_t exponent = mpfr_get_exp(source);  // source = m × 2^exponent, m in [1/2, 1)
    mpfr_mul_2si(scaled.value, source, 64 - exponent, MPFR_RNDN);
    number high(64);
    mpfr_div_2ui(high.value, scaled.value, 32, MPFR_RNDZ);
    mpfr_trunc(high.value, high.value);
    std::uint64_t upper = mpfr_get_ui(high.value, MPFR_RNDN);
    mpfr_mul_2ui(high.value, high.value, 32, MPFR_RNDN);
    mpfr_sub(scaled.value, scaled.value, high.value, MPFR_RNDN);
    std::uint64_t lower = mpfr_get_ui(scaled.value, MPFR_RNDN);
    return {(upper << 32) | lower, static_cast<int>(exponent - 64)};
}

scaled_significand reciprocal_of_binary64(const char* decimal) {
    number divisor(53), result(64);
    mpfr_set_str(divisor.value, decimal, 10, MPFR_RNDN);
    mpfr_ui_div(result.value, 1, divisor.value, MPFR_RNDN);
    return get(result.value);
}

// The exact decimal text of a positive value with at most 54 significant
// bits: one with n bits after the binary point has at most n digits after the
// decimal point, so 1100 digits hold every value of binary64's range exactly.
std::string to_string(const mpfr_t value) {
    mpfr_exp_t exponent = 0;
    char* digits = mpfr_get_str(nullptr, &exponent, 10, 1100, value, MPFR_RNDN);
    std::string text = digits;
    mpfr_free_str(digits);
    std::size_t last = text.find_last_not_of('0');
    text.erase(last + 1);
    return text + "e" + std::to_string(exponent - static_cast<mpfr_exp_t>(text.size()));
}

}  // namespace

scaled_significand recip_19_6() { return reciprocal_of_binary64("19.6"); }
scaled_significand recip_5() { return reciprocal_of_binary64("5"); }

// The sequence at the given precision with the given constants.
std::optional<double> sequence(double speed, mpfr_prec_t precision, const mpfr_t recip_19_6, const mpfr_t recip_5) {
    if (!std::isfinite(speed)) return std::nullopt;
    number v(53), p(precision);
    mpfr_set_d(v.value, speed, MPFR_RNDN);
    mpfr_mul(p.value, v.value, v.value, MPFR_RNDN);
    mpfr_mul(p.value, p.value, recip_19_6, MPFR_RNDN);
    mpfr_mul(p.value, p.value, recip_5, MPFR_RNDN);
    mpfr_add_ui(p.value, p.value, 1, MPFR_RNDN);
    double sum = mpfr_get_d(p.value, MPFR_RNDN);
    if (std::isinf(sum)) return std::nullopt;
    return std::ceil(sum);
}

std::optional<double> level(double speed) {
    number r19(64), r5(64);
    set(r19.value, recip_19_6());
    set(r5.value, recip_5());
    return sequence(speed, 64, r19.value, r5.value);
}

double exact_level(double speed) {
    number v(53), q(400);
    mpfr_set_d(v.value, speed, MPFR_RNDN);
    mpfr_sqr(q.value, v.value, MPFR_RNDN);  // exact: 106 bits fit in 400
    // Rounding the quotient up cannot cross an integer from below: its
    // ceiling is the exact one.
    mpfr_div_ui(q.value, q.value, 98, MPFR_RNDU);
    mpfr_ceil(q.value, q.value);
    mpfr_add_ui(q.value, q.value, 1, MPFR_RNDN);
    return mpfr_get_d(q.value, MPFR_RNDN);
}

std::optional<double> binary128_level(double speed) {
    number divisor(53), r19(113), r5(113);
    mpfr_set_str(divisor.value, "19.6", 10, MPFR_RNDN);
    mpfr_ui_div(r19.value, 1, divisor.value, MPFR_RNDN);
    mpfr_set_ui(r5.value, 5, MPFR_RNDN);
    mpfr_ui_div(r5.value, 1, r5.value, MPFR_RNDN);
    return sequence(speed, 113, r19.value, r5.value);
}

scaled_significand apply(int (*operation)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t), scaled_significand a,
                         scaled_significand b) {
    number x(64), y(64), r(64);
    set(x.value, a);
    set(y.value, b);
    operation(r.value, x.value, y.value, MPFR_RNDN);
    return get(r.value);
}

scaled_significand multiply(scaled_significand a, scaled_significand b) { return apply(mpfr_mul, a, b); }
scaled_significand add(scaled_significand a, scaled_significand b) { return apply(mpfr_add, a, b); }

double decimal_to_binary64(const std::string& text) {
    // Binary64's exponent range, so that subnormals round once, correctly.
    mpfr_exp_t old_min = mpfr_get_emin(), old_max = mpfr_get_emax();
    mpfr_set_emin(-1073);
    mpfr_set_emax(1024);
    number x(53);
    int ternary = mpfr_strtofr(x.value, text.c_str(), nullptr, 10, MPFR_RNDN);
    ternary = mpfr_subnormalize(x.value, ternary, MPFR_RNDN);
    double result = mpfr_get_d(x.value, MPFR_RNDN);
    mpfr_set_emin(old_min);
    mpfr_set_emax(old_max);
    return result;
}

std::string exact_decimal(double value) {
    number x(53);
    mpfr_set_d(x.value, value, MPFR_RNDN);
    return to_string(x.value);
}

std::string exact_midpoint(double a, double b) {
    number x(54);
    mpfr_set_d(x.value, a, MPFR_RNDN);
    mpfr_add_d(x.value, x.value, b, MPFR_RNDN);  // exact in 54 bits
    mpfr_div_2ui(x.value, x.value, 1, MPFR_RNDN);
    return to_string(x.value);
}

}  // namespace droplevel::oracle
