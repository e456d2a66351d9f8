// The memory budget decoded sounds and textures share inside the library.
#pragma once

#include <cstddef>

/// Takes `bytes` from the budget; false (with one warning record per run, from `source`)
/// when they do not fit, and then nothing is taken.
bool ZanBudgetTake(size_t bytes, const char* source);
/// Gives back bytes taken earlier.
void ZanBudgetGive(size_t bytes);
