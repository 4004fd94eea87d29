// Runtime-library error numbers and Windows system error codes to the ids of
// the catalogue texts that explain them.
#pragma once

namespace mcr {

constexpr int kUnknownErrnoId = 1405;
constexpr int kUnknownSystemErrorId = 5020;  // has no text

int ErrnoId(int errorNumber);
int SystemErrorId(unsigned long code);

}  // namespace mcr
