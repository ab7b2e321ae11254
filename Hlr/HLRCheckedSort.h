#pragma once

#include "Hlr/HLRCancelPoll.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace KvHLR {

// Arrays filled and sorted as std::vector's fill and std::stable_sort would, with a cancel check
// (HLRCancelPoll) every few thousand items: the stages of the largest drawings fill and sort millions.

// A fresh array of `count` copies of `value`, filled in steps with a cancel check between: the page
// faults of the hundreds of megabytes of a model that passes through itself everywhere take a second
// on a busy machine.
template <typename T> std::vector<T> filledChecked(std::size_t count, const T& value) {
    std::vector<T> items;
    items.reserve(count);
    while (items.size() < count) {
        HLRCancelPoll::check();
        items.resize(std::min(count, items.size() + (std::size_t(1) << 12)), value);
    }
    return items;
}

// A merge sort with a cancel check every thousand items: sorting the millions of crossings or ends of a
// model that passes through itself everywhere takes a second, and the checks read the clock at every
// 64th call only. Items that compare equal keep their order.
template <typename T, typename Less> void sortChecked(std::vector<T>& items, Less less) {
    constexpr std::size_t kRun = 1 << 10;
    const std::size_t n = items.size();
    for (std::size_t at = 0; at < n; at += kRun) {
        HLRCancelPoll::check();
        std::stable_sort(items.begin() + at, items.begin() + std::min(at + kRun, n), less);
    }
    if (n <= kRun)
        return;
    std::vector<T> merged = filledChecked(n, T{});
    for (std::size_t width = kRun; width < n; width *= 2) {
        for (std::size_t at = 0; at < n; at += 2 * width) {
            const std::size_t middle = std::min(at + width, n);
            const std::size_t end = std::min(at + 2 * width, n);
            std::size_t i = at, j = middle, k = at;
            while (i < middle && j < end) {
                if (k % kRun == 0)
                    HLRCancelPoll::check();
                merged[k++] = less(items[j], items[i]) ? items[j++] : items[i++];
            }
            k = static_cast<std::size_t>(
                std::copy(items.begin() + i, items.begin() + middle, merged.begin() + k) - merged.begin());
            std::copy(items.begin() + j, items.begin() + end, merged.begin() + k);
        }
        items.swap(merged);
    }
}

} // namespace KvHLR
