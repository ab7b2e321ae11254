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
    bool stabQuery(Traverser<Traits>& traverser) const {
        return !this->root() || this->root()->stab(traverser, traverser.window().template centre<0>(),
                                                   this->nodeItems().data());
    }
    // The items with an x-endpoint within the window's x-range, by bisection of the sorted events.
    bool rangeQuery(Traverser<Traits>& traverser) const;
};

// Level 1 runs the two phases of a window query on y and narrows each candidate set on x.
template <class Traits> class Tree<Traits, 1> : public TreeBase<Traits, 1> {
public:
    bool stabQuery(Traverser<Traits>& traverser) const {
        return !this->root() || this->root()->stab(traverser);
    }
    bool rangeQuery(Traverser<Traits>& traverser) const {
        return !this->root() || this->root()->range(traverser);
    }
    // The same two phases searching by the window's minimum corner alone: together they report the
    // items whose box contains that corner. Nothing in the library asks this; what such a search
    // should find is left open, and this reading makes it the query for a window shrunk to the corner.
    bool stabQueryAtMinimum(Traverser<Traits>& traverser) const {
        return atMinimumCorner(traverser, &Tree::stabQuery);
    }
    bool rangeQueryAtMinimum(Traverser<Traits>& traverser) const {
        return atMinimumCorner(traverser, &Tree::rangeQuery);
    }

private:
    // Runs the phase for the corner and then gives the traverser its window back.
    bool atMinimumCorner(Traverser<Traits>& traverser, bool (Tree::*phase)(Traverser<Traits>&) const) const {
        const QuantisedBox window = traverser.m_window;
        traverser.m_window = QuantisedBox{window.x0, window.y0, window.x0, window.y0};
        const bool going = (this->*phase)(traverser);
        traverser.m_window = window;
        return going;
    }
};

template <class Traits> bool Tree<Traits, 0>::rangeQuery(Traverser<Traits>& traverser) const {
    const QuantisedBox& window = traverser.window();
    const TreeArray<Event>& events = this->events();
    auto event = std::lower_bound(events.begin(), events.end(), window.x0,
                                  [](const Event& e, std::int16_t x) { return e.coordinate < x; });
    for (; event != events.end() && event->coordinate <= window.x1; ++event) {
        if (!traverser.offer(event->index)) {
            return false;
        }
    }
    return true;
}

} // namespace Imple
} // namespace WindowQuery
