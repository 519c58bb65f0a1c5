#pragma once

#include <functional>

namespace testsupport {

// Runs the Qt event loop until pred() holds or the timeout passes.
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 3000);

}  // namespace testsupport
