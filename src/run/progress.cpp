#include "run/progress.h"

#include <limits>

namespace run {

long long DivideRoundingHalfToEven(long long numerator, long long denominator) {
    long long quotient = numerator / denominator;
    long long remainder = numerator % denominator;
    if (remainder < 0) {  // floor division, so that the remainder is in 0..denominator-1
        quotient -= 1;
        remainder += denominator;
    }
    if (2 * remainder > denominator) return quotient + 1;
    if (2 * remainder == denominator && quotient % 2 != 0) return quotient + 1;
    return quotient;
}

bool ProgressModel::SetValue(int value) {
    if (value < 0 || value > maximum_) return false;
    if (value != value_) {
        value_ = value;
        Notify();
    }
    return true;
}

bool ProgressModel::SetMaximum(int maximum) {
    if (maximum < 1) return false;
    if (maximum != maximum_) {
        maximum_ = maximum;
        if (value_ > maximum_) value_ = maximum_;
        Notify();
    }
    return true;
}

void ProgressModel::AvanzarProgreso(std::int16_t n) {
    long long value = DivideRoundingHalfToEven(static_cast<long long>(maximum_) * n, 1000);
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max())
        return;
    SetValue(static_cast<int>(value));
}

std::int16_t PasoProgresoCentral(int maximo) {
    return static_cast<std::int16_t>(maximo / kPasosFaseCentral);
}

std::int16_t PasoProgresoEmpresa(int maximo) {
    return static_cast<std::int16_t>(maximo / kPasosFaseEmpresa);
}

void ProgressModel::SetVisible(bool& flag, bool visible) {
    if (flag == visible) return;
    flag = visible;
    Notify();
}

void ProgressModel::Notify() {
    observers_.ForEach([this](ProgressObserver& o) { o.OnProgressChanged(*this); });
}

}  // namespace run
