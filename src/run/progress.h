// The progress shown while the run works: the progress bar (value, maximum, visible) and the
// status label "Proceso de Actualización" beside it. The run drives it; the views observe it.
//
// Setting a value outside 0..maximum, or a maximum below 1, is refused and leaves the bar as it
// was, the way the window's progress bar refuses an invalid value.
//
// Thread safety: none; the model lives on its run context's one thread.
#pragma once

#include <cstdint>

#include "run/observer_list.h"

namespace run {

class ProgressModel;

class ProgressObserver {
  public:
    virtual ~ProgressObserver() = default;
    virtual void OnProgressChanged(const ProgressModel&) = 0;
};

class ProgressModel {
  public:
    static constexpr int kDefaultMaximum = 100;

    int Value() const { return value_; }
    int Maximum() const { return maximum_; }
    bool Visible() const { return visible_; }
    bool StatusLabelVisible() const { return status_label_visible_; }

    // False, and nothing changes, when `value` is outside 0..Maximum().
    bool SetValue(int value);
    // False, and nothing changes, when `maximum` is below 1. A value above the new maximum
    // is brought down to it.
    bool SetMaximum(int maximum);
    void Show() { SetVisible(visible_, true); }
    void Hide() { SetVisible(visible_, false); }
    void ShowStatusLabel() { SetVisible(status_label_visible_, true); }
    void HideStatusLabel() { SetVisible(status_label_visible_, false); }

    // Sets the value to n thousandths of the maximum, rounded to the nearest 16-bit integer
    // with halves going to the even neighbour. A result beyond the 16-bit range or outside
    // 0..Maximum() is ignored and leaves the bar as it was.
    void AvanzarProgreso(std::int16_t n);

    void AddObserver(ProgressObserver* observer) { observers_.Add(observer); }
    void RemoveObserver(ProgressObserver* observer) { observers_.Remove(observer); }

  private:
    void SetVisible(bool& flag, bool visible);
    void Notify();

    int value_ = 0;
    int maximum_ = kDefaultMaximum;
    bool visible_ = true;
    bool status_label_visible_ = false;
    ObserverList<ProgressObserver> observers_;
};

// The progress step of each phase of the run: the integer part of (maximum ÷ its number of
// steps), 23 in the central phase and 68 in a company's. The step table of a phase advances the
// bar by this step; a routine of the company phase that advances the bar itself divides the
// same step further.
inline constexpr int kPasosFaseCentral = 23;
inline constexpr int kPasosFaseEmpresa = 68;
std::int16_t PasoProgresoCentral(int maximo);
std::int16_t PasoProgresoEmpresa(int maximo);

// numerator / denominator rounded to the nearest integer, halves to the even one; denominator
// must be positive.
long long DivideRoundingHalfToEven(long long numerator, long long denominator);

}  // namespace run
