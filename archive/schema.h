// The archive's schema as numbered migrations, embedded in the program: each is
// run once, in a transaction of its own, in order.
#pragma once

#include <vector>

namespace archive {

// Migration n (from 1) is entry n - 1.
const std::vector<const char*>& Migrations();

}  // namespace archive
