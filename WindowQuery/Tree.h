#pragma once

#include "WindowQuery/Traverser.h"
#include "WindowQuery/TreeBase.h"

#include <algorithm>

namespace WindowQuery {
namespace Imple {

template <class Traits, int Level> class Tree;

// Level 0 answers, among the items it was built over, the two questions on x.
template <class Traits> class Tree<Traits, 0> : public TreeBase<Traits, 0> {
public:
    // The items whose x-interval, of positive length, contains the window's centre x.
    template <class T> bool stabQuery(T& traverser) const {
        return !this->root() || this->root()->stab(traverser, traverser.window().template centre<0>(),
                                                   this->nodeItems().data());
    }
    // The items with an x-endpoint within the window's x-range, by bisection of the sorted events.
    template <class T> bool rangeQuery(T& traverser) const;
};

// Level 1 runs the two phases of a window query on y and narrows each candidate set on x.
template <class Traits> class Tree<Traits, 1> : public TreeBase<Traits, 1> {
public:
    template <class T> bool stabQuery(T& traverser) const {
        return !this->root() || this->root()->stab(traverser);
    }
    template <class T> bool rangeQuery(T& traverser) const {
        return !this->root() || this->root()->range(traverser);
    }
};

template <class Traits> template <class T> bool Tree<Traits, 0>::rangeQuery(T& traverser) const {
    const QuantisedBox& window = traverser.window();
    const std::vector<Event>& events = this->events();
    auto event = std::lower_bound(events.begin(), events.end(), window.x0,
                                  [](const Event& e, std::int16_t x) { return e.coordinate < x; });
    for (; event != events.end() && event->coordinate <= window.x1; ++event) {
        if (!Traverser<Traits>::offer(traverser, event->index)) {
            return false;
        }
    }
    return true;
}

} // namespace Imple
} // namespace WindowQuery
