#include "quorvane/json.hpp"

namespace quorvane {

Expected<Json, std::string> parse_json(std::string_view text) {
  try {
    return Json::parse(text.begin(), text.end());
  } catch (const Json::exception& e) {
    return unexpected(std::string(e.what()));
  }
}

Expected<std::string, std::string> to_compact_json(const Json& value) {
  try {
    std::string out;
    out.reserve(128);
    out = value.dump(-1, ' ', false, Json::error_handler_t::strict);
    return out;
  } catch (const Json::exception& e) {
    return unexpected(std::string(e.what()));
  }
}

}  // namespace quorvane
