// A region: a set of pixels as non-overlapping rectangles (pixman's
// 32-bit regions), in whatever coordinates its user keeps.
#pragma once

#include <pixman.h>

#include <vector>

#include "platform/gdi/gdi.h"

namespace ksv::platform::gdi {

class Region {
 public:
  Region() { pixman_region32_init(&region_); }
  explicit Region(const RECT& rect);
  // The union of the rectangles (empty or inverted ones add nothing).
  explicit Region(const std::vector<RECT>& rects);
  Region(const Region& other) : Region() { pixman_region32_copy(&region_, &other.region_); }
  Region& operator=(const Region& other) {
    if (this != &other) pixman_region32_copy(&region_, &other.region_);
    return *this;
  }
  ~Region() { pixman_region32_fini(&region_); }

  pixman_region32_t* get() { return &region_; }
  const pixman_region32_t* get() const { return &region_; }

  // This region combined with `other` by RGN_AND, RGN_OR, RGN_XOR or RGN_DIFF.
  void Combine(const Region& other, int mode);
  void Intersect(const RECT& rect) { Combine(Region(rect), RGN_AND); }
  void Translate(int dx, int dy) { pixman_region32_translate(&region_, dx, dy); }
  bool Contains(int x, int y) const;
  bool Empty() const { return pixman_region32_not_empty(&region_) == 0; }
  RECT Box() const;
  // NULLREGION, SIMPLEREGION or COMPLEXREGION.
  int Kind() const;
  std::vector<RECT> Rects() const;

 private:
  pixman_region32_t region_;
};

}  // namespace ksv::platform::gdi
