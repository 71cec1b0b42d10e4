// GregorianCalendarBase: month lengths, floor division, the leap-year rule and
// the library-wide default instance.
#include <vesk/time/calendar_base.h>

#include <vesk/errors/exception.h>

#include <climits>
#include <string>

namespace vesk {

namespace {

const short monthLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

void requirePositive(__int64 n, __int64 d) {
    if (d <= 0)
        throw Exception("Can't floor-divide " + std::to_string(n) + " by " + std::to_string(d) +
                        ": the divisor must be positive");
}

int narrowQuotient(__int64 q, __int64 n, __int64 d) {
    if (q < INT_MIN || q > INT_MAX)
        throw Exception("Can't floor-divide " + std::to_string(n) + " by " + std::to_string(d) +
                        ": the quotient does not fit 32 bits");
    return static_cast<int>(q);
}

} // namespace

// Constant-initialised through the constexpr constructor.
const GregorianCalendarBase GregorianCalendarBase::Default;

short GregorianCalendarBase::MonthLength(Month month) {
    const int index = static_cast<int>(month);
    if (index < 0 || index > 11)
        throw Exception("Can't give the length of month " + std::to_string(index) + ": months run from 0 to 11");
    return monthLengths[index];
}

bool GregorianCalendarBase::isLeapYear(int year) const {
    if (year >= cutoverYear) return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return year % 4 == 0;
}

__int64 GregorianCalendarBase::floorDivide(__int64 n, __int64 d) {
    requirePositive(n, d);
    return n >= 0 ? n / d : (n + 1) / d - 1;
}

int GregorianCalendarBase::floorDivide(int n, int d) {
    requirePositive(n, d);
    return n >= 0 ? n / d : (n + 1) / d - 1;
}

int GregorianCalendarBase::floorDivide(int n, int d, int& rem) {
    requirePositive(n, d);
    if (n >= 0) {
        rem = n % d;
        return n / d;
    }
    const int q = (n + 1) / d - 1;
    // In 64 bits: q * d may lie below INT_MIN although the remainder fits.
    rem = static_cast<int>(static_cast<__int64>(n) - static_cast<__int64>(q) * d);
    return q;
}

int GregorianCalendarBase::floorDivide(__int64 n, int d, int& rem) {
    requirePositive(n, d);
    const __int64 q = n >= 0 ? n / d : (n + 1) / d - 1;
    // Narrowed first: once the quotient fits 32 bits, q * d cannot overflow.
    const int quotient = narrowQuotient(q, n, d);
    rem = static_cast<int>(n - q * d);
    return quotient;
}

} // namespace vesk
