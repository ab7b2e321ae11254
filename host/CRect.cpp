#include "host/CRect.h"

#include <stdexcept>

KvWindow::KvWindow(std::int32_t clientWidth, std::int32_t clientHeight) {
    SetClientSize(clientWidth, clientHeight);
}

void KvWindow::SetClientSize(std::int32_t clientWidth, std::int32_t clientHeight) {
    if (clientWidth < 0 || clientHeight < 0) {
        throw std::invalid_argument("KvWindow::SetClientSize: negative client size");
    }
    m_clientWidth = clientWidth;
    m_clientHeight = clientHeight;
}

bool GetClientRect(HWND window, CRect* rect) {
    if (window == nullptr || rect == nullptr) {
        return false;
    }
    *rect = CRect(0, 0, window->ClientWidth(), window->ClientHeight());
    return true;
}
