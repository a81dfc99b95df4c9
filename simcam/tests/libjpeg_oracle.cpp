#include "simcam/tests/libjpeg_oracle.h"

// jpeglib.h needs size_t and FILE declared first.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include <jpeglib.h>

namespace ksv::simcam::oracle {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return. We
// jump back to the setjmp of the Run* function, which has no automatic
// objects with destructors, and throw from the public function.
struct ErrorTrap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JumpToTrap(j_common_ptr info) {
  ErrorTrap* trap = reinterpret_cast<ErrorTrap*>(info->err);
  (*info->err->format_message)(info, trap->message);
  std::longjmp(trap->jump, 1);
}

J_DCT_METHOD ToLibjpeg(DctMethod method) {
  return method == DctMethod::kFast ? JDCT_IFAST : JDCT_ISLOW;
}

struct DecodeJob {
  std::span<const uint8_t> jpeg;
  J_COLOR_SPACE space;
  J_DCT_METHOD method;
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> pixels;  // 3 bytes per pixel, rows top-down
};

bool RunDecode(DecodeJob& job, ErrorTrap& trap) {
  jpeg_decompress_struct info{};
  info.err = jpeg_std_error(&trap.manager);
  trap.manager.error_exit = JumpToTrap;
  if (setjmp(trap.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, job.jpeg.data(), static_cast<unsigned long>(job.jpeg.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = job.space;
  info.dct_method = job.method;
  info.do_fancy_upsampling = FALSE;
  jpeg_start_decompress(&info);
  job.width = info.output_width;
  job.height = info.output_height;
  job.pixels.assign(size_t{job.width} * job.height * 3, 0);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = job.pixels.data() + size_t{info.output_scanline} * job.width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

DecodeJob Decode(std::span<const uint8_t> jpeg, J_COLOR_SPACE space, DctMethod method) {
  DecodeJob job{jpeg, space, ToLibjpeg(method), 0, 0, {}};
  ErrorTrap trap{};
  if (!RunDecode(job, trap))
    throw std::runtime_error(std::string("libjpeg decode: ") + trap.message);
  return job;
}

struct CoefficientJob {
  std::span<const uint8_t> jpeg;
  Coefficients result;
};

bool RunReadCoefficients(CoefficientJob& job, ErrorTrap& trap) {
  jpeg_decompress_struct info{};
  info.err = jpeg_std_error(&trap.manager);
  trap.manager.error_exit = JumpToTrap;
  if (setjmp(trap.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, job.jpeg.data(), static_cast<unsigned long>(job.jpeg.size()));
  jpeg_read_header(&info, TRUE);
  if (info.num_components != 3) {
    std::snprintf(trap.message, sizeof trap.message, "expected 3 components, found %d",
                  info.num_components);
    jpeg_destroy_decompress(&info);
    return false;
  }
  jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
  for (int c = 0; c < 3; ++c) {
    const jpeg_component_info& component = info.comp_info[c];
    std::vector<int16_t>& out = job.result.components[static_cast<size_t>(c)];
    out.clear();
    for (JDIMENSION row = 0; row < component.height_in_blocks; ++row) {
      JBLOCKARRAY blocks = (*info.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&info),
                                                           arrays[c], row, 1, FALSE);
      for (JDIMENSION col = 0; col < component.width_in_blocks; ++col) {
        out.insert(out.end(), blocks[0][col], blocks[0][col] + DCTSIZE2);
      }
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

struct EncodeJob {
  const picture::PlanarPicture& picture;
  const codec::QuantPair& tables;
  J_DCT_METHOD method;
  unsigned char* buffer = nullptr;  // libjpeg's, freed by the caller
  unsigned long size = 0;
};

void AddTable(jpeg_compress_struct& info, int slot, const codec::QuantTable& table) {
  unsigned int entries[64];
  for (size_t i = 0; i < 64; ++i) entries[i] = table[i];
  // Scale 100 % keeps each entry as it is.
  jpeg_add_quant_table(&info, slot, entries, 100, TRUE);
}

bool RunEncode(EncodeJob& job, ErrorTrap& trap) {
  jpeg_compress_struct info{};
  info.err = jpeg_std_error(&trap.manager);
  trap.manager.error_exit = JumpToTrap;
  if (setjmp(trap.jump) != 0) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &job.buffer, &job.size);
  const uint32_t width = job.picture.width;
  const uint32_t height = job.picture.height;
  info.image_width = width;
  info.image_height = height;
  info.input_components = 3;
  info.in_color_space = JCS_YCbCr;
  jpeg_set_defaults(&info);  // YCbCr 2x2/1x1/1x1, Annex K Huffman tables
  info.raw_data_in = TRUE;
  info.dct_method = job.method;
  info.optimize_coding = FALSE;
  AddTable(info, 0, job.tables.luminance);
  AddTable(info, 1, job.tables.chrominance);
  jpeg_start_compress(&info, TRUE);

  // libjpeg wants writable row pointers but only reads the samples.
  auto* y = const_cast<uint8_t*>(job.picture.samples.data());
  uint8_t* cb = y + size_t{width} * height;
  uint8_t* cr = cb + size_t{width / 2} * (height / 2);
  JSAMPROW yRows[16];
  JSAMPROW cbRows[8];
  JSAMPROW crRows[8];
  JSAMPARRAY planes[3] = {yRows, cbRows, crRows};
  while (info.next_scanline < height) {
    const size_t top = info.next_scanline;
    for (size_t i = 0; i < 16; ++i) yRows[i] = y + (top + i) * width;
    for (size_t i = 0; i < 8; ++i) {
      cbRows[i] = cb + (top / 2 + i) * (width / 2);
      crRows[i] = cr + (top / 2 + i) * (width / 2);
    }
    jpeg_write_raw_data(&info, planes, 16);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

}  // namespace

picture::PlanarPicture DecodePlanar(std::span<const uint8_t> jpeg, DctMethod method) {
  const DecodeJob job = Decode(jpeg, JCS_YCbCr, method);
  const uint32_t width = job.width;
  const uint32_t height = job.height;
  picture::PlanarPicture planar{width, height,
                                std::vector<uint8_t>(size_t{width} * height * 3 / 2)};
  uint8_t* y = planar.samples.data();
  uint8_t* cb = y + size_t{width} * height;
  uint8_t* cr = cb + size_t{width / 2} * (height / 2);
  for (size_t row = 0; row < height; ++row) {
    for (size_t col = 0; col < width; ++col) {
      const uint8_t* pixel = job.pixels.data() + (row * width + col) * 3;
      y[row * width + col] = pixel[0];
      if (row % 2 == 0 && col % 2 == 0) {
        cb[(row / 2) * (width / 2) + col / 2] = pixel[1];
        cr[(row / 2) * (width / 2) + col / 2] = pixel[2];
      }
    }
  }
  return planar;
}

picture::RgbPicture DecodeRgb(std::span<const uint8_t> jpeg, DctMethod method) {
  DecodeJob job = Decode(jpeg, JCS_RGB, method);
  return {job.width, job.height, std::move(job.pixels)};
}

Coefficients ReadCoefficients(std::span<const uint8_t> jpeg) {
  CoefficientJob job{jpeg, {}};
  ErrorTrap trap{};
  if (!RunReadCoefficients(job, trap)) {
    throw std::runtime_error(std::string("libjpeg coefficients: ") + trap.message);
  }
  return std::move(job.result);
}

std::vector<uint8_t> EncodePlanar(const picture::PlanarPicture& picture,
                                  const codec::QuantPair& tables, DctMethod method) {
  if (picture.width % 16 != 0 || picture.height % 16 != 0 ||
      picture.samples.size() != size_t{picture.width} * picture.height * 3 / 2) {
    throw std::invalid_argument("libjpeg raw encode needs a whole 4:2:0 picture in macroblocks");
  }
  EncodeJob job{picture, tables, ToLibjpeg(method)};
  ErrorTrap trap{};
  const bool ok = RunEncode(job, trap);
  std::vector<uint8_t> jpeg;
  if (ok) jpeg.assign(job.buffer, job.buffer + job.size);
  std::free(job.buffer);
  if (!ok) throw std::runtime_error(std::string("libjpeg encode: ") + trap.message);
  return jpeg;
}

std::vector<uint8_t> ScanData(std::span<const uint8_t> jpeg) {
  // Walk the marker segments up to SOS.
  size_t at = 2;
  while (true) {
    if (at + 4 > jpeg.size() || jpeg[at] != 0xFF) throw std::runtime_error("JPEG has no scan");
    const uint8_t marker = jpeg[at + 1];
    const size_t length = size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
    at += 2 + length;
    if (marker == 0xDA) break;
  }
  std::vector<uint8_t> data;
  for (; at < jpeg.size(); ++at) {
    if (jpeg[at] != 0xFF) {
      data.push_back(jpeg[at]);
      continue;
    }
    if (at + 1 < jpeg.size() && jpeg[at + 1] == 0x00) {
      data.push_back(0xFF);
      ++at;
      continue;
    }
    return data;  // a marker ends the scan
  }
  throw std::runtime_error("JPEG scan runs to the end of the file without a marker");
}

}  // namespace ksv::simcam::oracle
