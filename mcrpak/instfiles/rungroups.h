// The run groups a method uses, from its run.icp.
#pragma once
#include <cstdint>

namespace mcr {

constexpr int kMaxRunGroups = 10;

// Fills list (entries the method does not set keep what the caller put there)
// and count; returns the acquisition mode, or -1 when the method is invalid.
int GetRunGroups(const char* methodDir, std::int32_t list[kMaxRunGroups], int* count);

}  // namespace mcr
