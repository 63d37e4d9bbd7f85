// Who follows a run as it goes: observers added and removed by id, each told of
// every event in the order they came.
#pragma once

#include <functional>
#include <map>
#include <utility>

namespace ortav::calib {

template <typename Event> class Observers {
public:
    using Observer = std::function<void(const Event &)>;

    int add(Observer observer) {
        const int id = next_++;
        list_[id] = std::move(observer);
        return id;
    }
    void remove(int id) { list_.erase(id); }
    void notify(const Event &e) const {
        const auto copy = list_; // an observer may remove itself
        for (const auto &[id, observer] : copy)
            observer(e);
    }

private:
    std::map<int, Observer> list_;
    int next_ = 1;
};

} // namespace ortav::calib
