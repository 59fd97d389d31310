// The point test of regions against an independent winding number.
//
// A region's boundary rule: a corner on the point's column counts as left of the point, one on its
// row as above it, so the point behaves as if moved right by a little and down by much less.
// The reference below does exactly that on a grid K times finer (the point at Kx + 100, Ky + 1,
// corners at multiples of K): the moved point never lies on an edge or in line with a corner, so
// an ordinary winding number decides, and a point is inside when the polygon winds once around it.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "toolkit/region.h"

namespace {

struct Pt {
  long long x, y;
};

// Winding number of polygon `poly` (closed implicitly) around p, by signed crossings of the
// horizontal line through p to the right of p.
int winding(const std::vector<Pt>& poly, Pt p) {
  int wn = 0;
  for (size_t i = 0; i < poly.size(); ++i) {
    const Pt a = poly[i], b = poly[(i + 1) % poly.size()];
    const long long cross = (b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y);
    if (a.y <= p.y && b.y > p.y && cross > 0) ++wn;
    if (a.y > p.y && b.y <= p.y && cross < 0) --wn;
  }
  return wn;
}

bool reference(const std::vector<RegionPoint>& pts, int x, int y) {
  constexpr long long K = 10000;
  std::vector<Pt> poly;
  for (const RegionPoint& q : pts) poly.push_back({q.x * K, q.y * K});
  const int wn = winding(poly, {x * K + 100, y * K + 1});
  return wn == 1 || wn == -1;
}

Region* closedRegion(const std::vector<RegionPoint>& pts) {
  Region* r = allocateRegion(0);
  for (const RegionPoint& p : pts) regionAddPoint(r, p.x, p.y);
  regionAddPoint(r, pts[0].x, pts[0].y);
  regionSetBound(r);
  return r;
}

}  // namespace

TEST(Region, PointTestMatchesWindingOnRandomPolygons) {
  std::mt19937 rng(7);
  for (int round = 0; round < 400; ++round) {
    // Small coordinates make points on edges and in line with corners common; some polygons are
    // concave, some cross themselves.
    const int n = 3 + int(rng() % 8);
    const int span = round % 2 ? 12 : 30;
    std::vector<RegionPoint> pts;
    for (int i = 0; i < n; ++i) pts.push_back({int(rng() % span), int(rng() % span)});
    Region* r = closedRegion(pts);
    for (int y = -2; y < span + 2; ++y)
      for (int x = -2; x < span + 2; ++x)
        ASSERT_EQ(pointInRegion(r, x, y), reference(pts, x, y) ? 1 : 0)
            << "round " << round << " point " << x << "," << y;
    regionDelete(r);
  }
}

TEST(Region, RectangleKeepsLeftColumnAndTopRowInEitherDirection) {
  for (bool clockwise : {true, false}) {
    std::vector<RegionPoint> pts = {{10, 10}, {20, 10}, {20, 20}, {10, 20}};
    if (!clockwise) std::swap(pts[1], pts[3]);
    Region* r = closedRegion(pts);
    for (auto [x, y] : {std::pair{15, 15}, {10, 10}, {15, 10}, {10, 15}}) EXPECT_EQ(pointInRegion(r, x, y), 1);
    for (auto [x, y] : {std::pair{25, 15}, {20, 15}, {15, 20}, {20, 20}, {9, 15}}) EXPECT_EQ(pointInRegion(r, x, y), 0);
    EXPECT_EQ(r->minX, 10);
    EXPECT_EQ(r->maxY, 20);
    EXPECT_EQ(r->centreX, 14);  // the closing point counts: 70 / 5
    regionDelete(r);
  }
}

TEST(Region, OpenOrEmptyRecordsAndNullRegions) {
  // Points added without closing keep the unbounded box; the walk stops at the last point, so the
  // edge back to the first one is missing and the winding never completes.
  Region* open = allocateRegion(2);
  for (auto [x, y] : {std::pair{10, 10}, {20, 10}, {20, 20}, {10, 20}}) regionAddPoint(open, x, y);
  EXPECT_EQ(open->count, 4);
  EXPECT_EQ(open->points[4].x, 10);  // the copy of the last point
  EXPECT_EQ(pointInRegion(open, 15, 15), 0);
  regionSetBound(open);
  EXPECT_EQ(open->maxX, 20);
  regionDelete(open);

  Region* empty = allocateRegion(0);
  regionSetBound(empty);
  EXPECT_GT(empty->minX, empty->maxX);
  EXPECT_EQ(pointInRegion(empty, 0, 0), 0);
  regionAddName(empty, "a name longer than thirty-one characters in all");
  EXPECT_STREQ(regionGetName(empty), "a name longer than thirty-one c");
  regionSetFlag(empty, 4);
  regionSetFlag(empty, 1);
  EXPECT_EQ(regionGetFlag(empty), 5);
  regionDelete(empty);

  EXPECT_EQ(pointInRegion(nullptr, 0, 0), 0);
  EXPECT_STREQ(regionGetName(nullptr), "<null>");
  EXPECT_EQ(regionGetUserData(nullptr), nullptr);
  regionAddPoint(nullptr, 1, 1);
  regionDelete(nullptr);
}
