// skin_art <output folder>: writes the uninstaller's seven skin PNGs into the folder.
#include <cstdio>
#include <string>

#include "png_codec.h"
#include "skin_art.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: skin_art <output folder>\n");
    return 2;
  }
  for (const kv_art::ArtFile& file : kv_art::DrawSkinArt()) {
    const std::vector<uint8_t> png = kv_art::EncodePng(file.image, file.with_alpha);
    const std::string path = std::string(argv[1]) + "/" + file.name;
    std::FILE* out = png.empty() ? nullptr : std::fopen(path.c_str(), "wb");
    const bool ok = out != nullptr && std::fwrite(png.data(), 1, png.size(), out) == png.size();
    if (out != nullptr && std::fclose(out) != 0) return 1;
    if (!ok) {
      std::fprintf(stderr, "skin_art: cannot write %s\n", path.c_str());
      return 1;
    }
    std::printf("%s (%d x %d, %zu bytes)\n", path.c_str(), file.image.width, file.image.height,
                png.size());
  }
  return 0;
}
