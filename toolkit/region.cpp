// Regions: the polygon record, its bounds and the point test.
#include "toolkit/region.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "base/memdbg.h"
#include "vrk/debug.h"

namespace {

constexpr const char* kTag = "region";
constexpr int kUnbounded = 2147483647;

bool present(const void* region, const char* call) {
  if (region) return true;
  debug_printf("%s(): null region ptr\n", call);
  return false;
}

// Quadrant of corner (vx, vy) around (x, y): 0 right and below, 1 left and below, 2 left and
// above, 3 right and above; a corner on the point's column is left, one on its row above.
int quadrant(int vx, int vy, int x, int y) {
  if (vx > x) return vy > y ? 0 : 3;
  return vy > y ? 1 : 2;
}

// Whether (x, y) lies on or right of the line through the edge where it crosses row y (the edge
// crosses the row). Exact: the comparison is made on integers wherever the products fit.
bool rightOfEdge(RegionPoint p, RegionPoint c, int x, int y) {
  const long long ex = (long long)p.x - c.x, ey = (long long)p.y - c.y;
  const long long dx = (long long)x - c.x, dy = (long long)c.y - y;
  const long long lim = 1LL << 31;
  if (ex > -lim && ex < lim && ey > -lim && ey < lim && dx > -lim && dx < lim && dy > -lim && dy < lim) {
    // x >= c.x - dy * ex / ey  <=>  dx * ey >= -dy * ex  (the sense flips when ey < 0)
    const long long lhs = dx * ey, rhs = -dy * ex;
    return ey > 0 ? lhs >= rhs : lhs <= rhs;
  }
  const long double xi = (long double)c.x - (long double)dy * (long double)ex / (long double)ey;
  return (long double)x >= xi;
}

}  // namespace

Region* allocateRegion(int n) {
  Region* r = static_cast<Region*>(MYCALLOC(1, sizeof(Region), kTag));
  if (n > 0) {
    r->points = static_cast<RegionPoint*>(MYCALLOC(size_t(n) + 1, sizeof(RegionPoint), kTag));
    r->capacity = n + 1;
  }
  r->minX = r->minY = -kUnbounded;
  r->maxX = r->maxY = kUnbounded;
  return r;
}

void regionAddPoint(Region* region, int x, int y) {
  if (!present(region, "regionAddPoint")) return;
  if (!region->points) {
    region->points = static_cast<RegionPoint*>(MYCALLOC(2, sizeof(RegionPoint), kTag));
    region->capacity = 2;
    region->count = 0;
  } else if (region->capacity - 1 <= region->count) {
    region->capacity = region->count + 2;
    region->points =
        static_cast<RegionPoint*>(MYREALLOC(region->points, sizeof(RegionPoint) * size_t(region->capacity), kTag));
  }
  region->points[region->count] = {x, y};
  ++region->count;
  region->points[region->count] = {x, y};
}

void regionSetBound(Region* region) {
  if (!region) return;
  region->minX = region->minY = kUnbounded;
  region->maxX = region->maxY = -kUnbounded;
  long long sx = 0, sy = 0;
  for (int i = 0; i < region->count; ++i) {
    const RegionPoint p = region->points[i];
    if (p.x < region->minX) region->minX = p.x;
    if (p.y < region->minY) region->minY = p.y;
    if (p.x > region->maxX) region->maxX = p.x;
    if (p.y > region->maxY) region->maxY = p.y;
    sx += p.x;
    sy += p.y;
  }
  if (region->count > 0) {
    region->centreX = int(sx / region->count);
    region->centreY = int(sy / region->count);
  }
}

int pointInRegion(const Region* region, int x, int y) {
  if (!region || !region->points) return 0;
  if (x < region->minX || x > region->maxX || y < region->minY || y > region->maxY) return 0;
  const RegionPoint* pts = region->points;
  int total = 0;
  int prevQ = quadrant(pts[0].x, pts[0].y, x, y);
  for (int i = 0; i < region->count; ++i) {
    const RegionPoint prev = pts[i], cur = pts[i + 1];
    const int q = quadrant(cur.x, cur.y, x, y);
    const int d = q - prevQ;
    switch (d) {
      case -1:
      case 0:
      case 1:
        total += d;
        break;
      case -3:
        total += 1;
        break;
      case 3:
        total -= 1;
        break;
      default:
        total += rightOfEdge(prev, cur, x, y) ? d : -d;
        break;
    }
    prevQ = q;
  }
  return total == 4 || total == -4 ? 1 : 0;
}

void regionDelete(Region* region) {
  if (!present(region, "regionDelete")) return;
  if (region->points) MYFREE(region->points, kTag);
  MYFREE(region, kTag);
}

void regionAddName(Region* region, const char* name) {
  if (!present(region, "regionAddName")) return;
  std::snprintf(region->name, sizeof region->name, "%s", name ? name : "");
}

const char* regionGetName(const Region* region) {
  if (!present(region, "regionGetName")) return "<null>";
  return region->name;
}

void* regionGetUserData(const Region* region) {
  if (!present(region, "regionGetUserData")) return nullptr;
  return region->userData;
}

void regionSetUserData(Region* region, void* data) {
  if (!present(region, "regionSetUserData")) return;
  region->userData = data;
}

void regionSetFlag(Region* region, int flag) {
  if (region) region->flags |= flag;
}

int regionGetFlag(const Region* region) { return region ? region->flags : 0; }
