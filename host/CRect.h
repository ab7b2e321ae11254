#pragma once

// The window-system pieces the library touches: a client rectangle in pixels and a window whose
// client area can be queried.

#include "host/KvHostExport.h"

#include <cstdint>

struct CRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    CRect() = default;
    CRect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b)
        : left(l), top(t), right(r), bottom(b) {}

    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return bottom - top; }
};

// A top-level window as far as the library is concerned: it only has a client area.
class KVHOST_API KvWindow {
public:
    // Throws std::invalid_argument for a negative size.
    KvWindow(std::int32_t clientWidth, std::int32_t clientHeight);

    void SetClientSize(std::int32_t clientWidth, std::int32_t clientHeight);
    std::int32_t ClientWidth() const { return m_clientWidth; }
    std::int32_t ClientHeight() const { return m_clientHeight; }

private:
    std::int32_t m_clientWidth = 0;
    std::int32_t m_clientHeight = 0;
};

using HWND = KvWindow*;

// Fills `rect` with the window's client area, whose top-left corner is always (0, 0). Returns false
// and leaves `rect` untouched when the window or the rectangle is null.
KVHOST_API bool GetClientRect(HWND window, CRect* rect);
