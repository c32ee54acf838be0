#include "png_codec.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

namespace kv_art {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value >> 24));
  out.push_back(static_cast<uint8_t>(value >> 16));
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

uint32_t GetU32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void PutChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  PutU32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
  PutU32(out, static_cast<uint32_t>(crc));
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

}  // namespace

std::vector<uint8_t> EncodePng(const Image& image, bool with_alpha) {
  const int channels = with_alpha ? 4 : 3;
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(image.height) * (1 + image.width * channels));
  for (int y = 0; y < image.height; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.At(x, y);
      raw.insert(raw.end(), p, p + channels);
    }
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 9) !=
      Z_OK) {
    return {};
  }
  packed.resize(packed_size);

  std::vector<uint8_t> header;
  PutU32(header, static_cast<uint32_t>(image.width));
  PutU32(header, static_cast<uint32_t>(image.height));
  header.push_back(8);                   // bit depth
  header.push_back(with_alpha ? 6 : 2);  // colour type
  header.push_back(0);                   // deflate
  header.push_back(0);                   // adaptive filtering
  header.push_back(0);                   // no interlace

  std::vector<uint8_t> out(kSignature, kSignature + 8);
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", packed);
  PutChunk(out, "IEND", {});
  return out;
}

bool DecodePng(const std::vector<uint8_t>& bytes, Image& out, bool& has_alpha, std::string& error) {
  if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0) {
    error = "not a PNG";
    return false;
  }
  size_t pos = 8;
  int width = 0, height = 0, channels = 0;
  std::vector<uint8_t> packed;
  bool ended = false;
  while (!ended) {
    if (bytes.size() - pos < 12) {
      error = "truncated chunk";
      return false;
    }
    const uint32_t length = GetU32(&bytes[pos]);
    if (length > bytes.size() - pos - 12) {
      error = "chunk past the end";
      return false;
    }
    const uint8_t* type = &bytes[pos + 4];
    const uint8_t* data = type + 4;
    const uLong crc = crc32(0L, type, length + 4);
    if (crc != GetU32(data + length)) {
      error = "bad CRC";
      return false;
    }
    if (std::memcmp(type, "IHDR", 4) == 0) {
      if (length != 13 || data[8] != 8 || (data[9] != 2 && data[9] != 6) || data[12] != 0) {
        error = "unsupported header";
        return false;
      }
      width = static_cast<int>(GetU32(data));
      height = static_cast<int>(GetU32(data + 4));
      channels = data[9] == 6 ? 4 : 3;
      if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        error = "bad size";
        return false;
      }
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      packed.insert(packed.end(), data, data + length);
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      ended = true;
    }
    pos += 12 + length;
  }
  if (channels == 0) {
    error = "no header";
    return false;
  }
  const size_t stride = static_cast<size_t>(width) * channels;
  uLongf raw_size = static_cast<uLongf>((stride + 1) * height);
  std::vector<uint8_t> raw(raw_size);
  if (uncompress(raw.data(), &raw_size, packed.data(), static_cast<uLong>(packed.size())) != Z_OK ||
      raw_size != raw.size()) {
    error = "bad image data";
    return false;
  }
  std::vector<uint8_t> prev(stride, 0), row(stride);
  out = Image(width, height);
  for (int y = 0; y < height; ++y) {
    const uint8_t* line = &raw[y * (stride + 1)];
    const uint8_t filter = line[0];
    for (size_t i = 0; i < stride; ++i) {
      const int a = i >= static_cast<size_t>(channels) ? row[i - channels] : 0;
      const int b = prev[i];
      const int c = i >= static_cast<size_t>(channels) ? prev[i - channels] : 0;
      int predictor = 0;
      switch (filter) {
        case 0:
          predictor = 0;
          break;
        case 1:
          predictor = a;
          break;
        case 2:
          predictor = b;
          break;
        case 3:
          predictor = (a + b) / 2;
          break;
        case 4:
          predictor = Paeth(a, b, c);
          break;
        default:
          error = "bad filter";
          return false;
      }
      row[i] = static_cast<uint8_t>(line[1 + i] + predictor);
    }
    for (int x = 0; x < width; ++x) {
      uint8_t* p = out.At(x, y);
      std::memcpy(p, &row[static_cast<size_t>(x) * channels], channels);
      if (channels == 3) p[3] = 255;
    }
    prev.swap(row);
  }
  has_alpha = channels == 4;
  return true;
}

}  // namespace kv_art
