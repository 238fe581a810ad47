// A list of non-owning observer pointers that a model notifies in the order they were added.
// The models of the run (process grid, progress) use it so that the window, the console view
// and tests can watch the same model.
//
// Thread safety: none; models and their observers live on the run's one thread.
#pragma once

#include <algorithm>
#include <vector>

namespace run {

template <typename Observer>
class ObserverList {
  public:
    void Add(Observer* observer) {
        if (observer != nullptr && std::find(list_.begin(), list_.end(), observer) == list_.end())
            list_.push_back(observer);
    }
    void Remove(Observer* observer) {
        list_.erase(std::remove(list_.begin(), list_.end(), observer), list_.end());
    }
    // Calls `notify(observer)` for each observer; a copy of the list is walked so that an
    // observer may remove itself while being notified.
    template <typename Notify>
    void ForEach(Notify&& notify) const {
        std::vector<Observer*> snapshot = list_;
        for (Observer* observer : snapshot)
            notify(*observer);
    }

  private:
    std::vector<Observer*> list_;
};

}  // namespace run
