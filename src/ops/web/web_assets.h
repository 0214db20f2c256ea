#pragma once
// The console's pages, style and script, compiled into the program from
// src/ops/web/site/ (cmake/EmbedFiles.cmake): nothing is fetched from
// anywhere else, so the console works on a network without the internet.

#include <string_view>

namespace varn {

struct WebAsset {
  std::string_view name;  // "index.html", "app.js"
  std::string_view contentType;
  std::string_view bytes;
};

// Null for a name that is not one of them.
const WebAsset* FindWebAsset(std::string_view name);

}  // namespace varn
