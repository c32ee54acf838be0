// The uninstaller's seven skin images, drawn from geometry (no input files), so the committed
// PNGs under uninstall/res/ can be regenerated and checked byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "png_codec.h"

namespace kv_art {

struct ArtFile {
  std::string name;  // file name under uninstall/res/
  int resource_id;   // numeric id of the "PNG" resource
  Image image;
  bool with_alpha;
};

// All seven images in resource-id order (201 ... 207).
std::vector<ArtFile> DrawSkinArt();

}  // namespace kv_art
