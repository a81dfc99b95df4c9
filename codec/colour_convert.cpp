#include "codec/colour_convert.h"

#include <array>

#include "codec/colour_convert_x86.h"



namespace ksv::codec {

namespace {

// Clamp to 0..255 for indices -384..639.
constexpr int kClampBias = 384;
constexpr std::array<uint8_t, 1024> kClamp = [] {
  std::array<uint8_t, 1024> t{};
  for (int i = 0; i < 1024; ++i) {
    int v = i - kClampBias;
    t[static_cast<size_t>(i)] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
  return t;
}();

inline uint8_t Clamp(int v) { return kClamp[static_cast<size_t>(v + kClampBias)]; }

// Direct form: each chroma term floored on its own.
struct DirectTables {
  std::array<int16_t, 256> red, greenCb, greenCr, blue;
};
constexpr DirectTables kDirect = [] {
  DirectTables t{};
  for (int c = 0; c < 256; ++c) {
    auto i = static_cast<size_t>(c);
    t.red[i] = static_cast<int16_t>((c * 91881 - 11760768) >> 16);
    t.greenCb[i] = static_cast<int16_t>((c * 22554 - 2886912) >> 16);
    t.greenCr[i] = static_cast<int16_t>((c * 46802 - 5990656) >> 16);
    t.blue[i] = static_cast<int16_t>((c * 116129 - 14864512) >> 16);
  }
  return t;
}();

// Planar form: the four 16.16 coefficient tables.
struct PlanarTables {
  std::array<int32_t, 256> crRed, cbGreen, crGreen, cbBlue;
};
constexpr PlanarTables kPlanar = [] {
  PlanarTables t{};
  for (int c = 0; c < 256; ++c) {
    auto i = static_cast<size_t>(c);
    t.crRed[i] = (c - 128) * 91881;
    t.cbGreen[i] = (c - 128) * 22553;
    t.crGreen[i] = (c - 128) * 46801;
    t.cbBlue[i] = (c - 128) * 116129;
  }
  return t;
}();

// What one chroma pair adds to the luma of its group, per channel.
struct Offsets {
  int16_t r, g, b;
};

inline Offsets DirectOffsets(uint8_t cb, uint8_t cr) {
  return {kDirect.red[cr], static_cast<int16_t>(-kDirect.greenCb[cb] - kDirect.greenCr[cr]),
          kDirect.blue[cb]};
}

// (Y x 65536 + t) >> 16 equals Y + (t >> 16) because Y x 65536 has no
// fractional part, so the planar form too reduces to one offset per group.
inline Offsets PlanarOffsets(uint8_t cb, uint8_t cr) {
  return {static_cast<int16_t>(kPlanar.crRed[cr] >> 16),
          static_cast<int16_t>((-kPlanar.cbGreen[cb] - kPlanar.crGreen[cr]) >> 16),
          static_cast<int16_t>(kPlanar.cbBlue[cb] >> 16)};
}

// The offsets of one chroma row: entry i serves pixels 2i and 2i + 1.
struct RowOffsets {
  alignas(16) int16_t r[kMaxConvertWidth / 2];
  alignas(16) int16_t g[kMaxConvertWidth / 2];
  alignas(16) int16_t b[kMaxConvertWidth / 2];
};

template <ColourForm kForm>
void FillOffsets(const uint8_t* cb, const uint8_t* cr, uint32_t groups, RowOffsets& o) {
  for (uint32_t i = 0; i < groups; ++i) {
    Offsets v = kForm == ColourForm::kDirect ? DirectOffsets(cb[i], cr[i]) : PlanarOffsets(cb[i], cr[i]);
    o.r[i] = v.r;
    o.g[i] = v.g;
    o.b[i] = v.b;
  }
}

inline void StorePixel(uint8_t* p, int y, int16_t r, int16_t g, int16_t b, bool rgbOrder) {
  uint8_t cr = Clamp(y + r), cg = Clamp(y + g), cb = Clamp(y + b);
  p[0] = rgbOrder ? cr : cb;
  p[1] = cg;
  p[2] = rgbOrder ? cb : cr;
}


void ConvertRow(const uint8_t* y, const RowOffsets& o, uint32_t width, uint8_t* out, bool rgbOrder) {
  for (uint32_t x = 0; x < width; ++x) StorePixel(out + x * 3, y[x], o.r[x / 2], o.g[x / 2], o.b[x / 2], rgbOrder);
}

}  // namespace

void ConvertToRgb24Scalar(const ColourRows& c, ColourForm form, bool rgbOrder, const uint8_t* gamma) {
  RowOffsets offsets;
  alignas(16) uint8_t mapped[kMaxConvertWidth];
  for (uint32_t row = 0; row < c.rows; ++row) {
    if (row % 2 == 0) {
      const uint8_t* cb = c.cb + static_cast<ptrdiff_t>(row / 2) * c.chromaStride;
      const uint8_t* cr = c.cr + static_cast<ptrdiff_t>(row / 2) * c.chromaStride;
      if (form == ColourForm::kDirect)
        FillOffsets<ColourForm::kDirect>(cb, cr, c.width / 2, offsets);
      else
        FillOffsets<ColourForm::kPlanar>(cb, cr, c.width / 2, offsets);
    }
    const uint8_t* luma = c.luma + static_cast<ptrdiff_t>(row) * c.lumaStride;
    if (gamma) {
      for (uint32_t x = 0; x < c.width; ++x) mapped[x] = gamma[luma[x]];
      luma = mapped;
    }
    ConvertRow(luma, offsets, c.width, c.out + static_cast<ptrdiff_t>(row) * c.outStride, rgbOrder);
  }
}

namespace {

ConvertToRgb24Fn PickSimd() {
#if defined(__SSE2__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return ConvertToRgb24Avx2;
  return __builtin_cpu_supports("ssse3") ? ConvertToRgb24Ssse3 : ConvertToRgb24Sse2;
#else
  return nullptr;
#endif
}

}  // namespace

const ConvertToRgb24Fn ConvertToRgb24Simd = PickSimd();

void ConvertToRgb24(const ColourRows& rows, ColourForm form, bool rgbOrder, const uint8_t* gamma) {
  if (ConvertToRgb24Simd)
    ConvertToRgb24Simd(rows, form, rgbOrder, gamma);
  else
    ConvertToRgb24Scalar(rows, form, rgbOrder, gamma);
}

void DirectPixel(int y, int cb, int cr, uint8_t& r, uint8_t& g, uint8_t& b) {
  Offsets o = DirectOffsets(static_cast<uint8_t>(cb), static_cast<uint8_t>(cr));
  r = Clamp(y + o.r), g = Clamp(y + o.g), b = Clamp(y + o.b);
}

void PlanarPixel(int y, int cb, int cr, uint8_t& r, uint8_t& g, uint8_t& b) {
  Offsets o = PlanarOffsets(static_cast<uint8_t>(cb), static_cast<uint8_t>(cr));
  r = Clamp(y + o.r), g = Clamp(y + o.g), b = Clamp(y + o.b);
}

}  // namespace ksv::codec
