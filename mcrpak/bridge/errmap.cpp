#include "errmap.h"

namespace mcr {

int ErrnoId(int e) {
  // Index = error number; 0 marks numbers without a text of their own.
  static const short kIds[] = {
      0,    1434, 1414, 1439, 1425, 1426, 1433, 1406, 1415, 1408,  // 0-9
      1422, 1420, 1416, 1407, 1423, 0,    1421, 1411, 1419, 1429,  // 10-19
      1431, 1437, 1412, 1428, 1413, 1432, 0,    1424, 1417, 1438,  // 20-29
      1436, 1427, 1435, 1410, 1418, 0,    1409,                    // 30-36
  };
  if (e < 0 || e >= static_cast<int>(sizeof kIds / sizeof kIds[0]) || kIds[e] == 0)
    return kUnknownErrnoId;
  return kIds[e];
}

int SystemErrorId(unsigned long code) {
  struct Run { unsigned long first, last; int id; };
  static const Run kRuns[] = {{1, 13, 1442}, {15, 36, 1455}, {50, 72, 1477}, {80, 88, 1500}};
  for (const Run& r : kRuns)
    if (code >= r.first && code <= r.last) return r.id + static_cast<int>(code - r.first);
  return kUnknownSystemErrorId;
}

}  // namespace mcr
