#include "model/status_bar.h"

namespace {
StatusBarHandler& Handler() {
    static StatusBarHandler handler;
    return handler;
}
} // namespace

void SetStatusBarText(const std::string& text) {
    if (const auto& handler = Handler())
        handler(text);
}

void SetStatusBarHandler(StatusBarHandler handler) {
    Handler() = std::move(handler);
}
