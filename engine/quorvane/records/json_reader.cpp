#include "quorvane/records/json_reader.hpp"

#include <charconv>
#include <cmath>

namespace quorvane::json_reader {
namespace {

Node scalar(Node::Kind kind) {
  Node n;
  n.kind = kind;
  return n;
}

Node integer(int64_t value) {
  if (value < 0) {
    Node n = scalar(Node::Kind::Negative);
    n.negative = value;
    return n;
  }
  Node n = scalar(Node::Kind::Unsigned);
  n.unsigned_value = static_cast<uint64_t>(value);
  return n;
}

Node unsigned_integer(uint64_t value) {
  Node n = scalar(Node::Kind::Unsigned);
  n.unsigned_value = value;
  return n;
}

Node floating(double value) {
  Node n = scalar(Node::Kind::Float);
  n.number = value;
  return n;
}

Node boolean_node(bool value) {
  Node n = scalar(Node::Kind::Bool);
  n.boolean = value;
  return n;
}

Node string_node(std::string value) {
  Node n = scalar(Node::Kind::String);
  n.text = std::move(value);
  return n;
}

// Builds a Node tree straight from JSON text.
class NodeBuilder : public nlohmann::json_sax<Json> {
 public:
  Node root;
  std::string error;

  bool null() override { return add(Node{}); }
  bool boolean(bool value) override { return add(boolean_node(value)); }
  bool number_integer(number_integer_t value) override { return add(integer(value)); }
  bool number_unsigned(number_unsigned_t value) override { return add(unsigned_integer(value)); }
  bool number_float(number_float_t value, const string_t&) override {
    return add(floating(value));
  }
  bool string(string_t& value) override { return add(string_node(value)); }
  bool binary(binary_t&) override { return false; }
  bool start_object(std::size_t) override { return open(scalar(Node::Kind::Object)); }
  bool key(string_t& value) override {
    key_ = value;
    return true;
  }
  bool end_object() override {
    open_.pop_back();
    return true;
  }
  bool start_array(std::size_t) override { return open(scalar(Node::Kind::Array)); }
  bool end_array() override {
    open_.pop_back();
    return true;
  }
  bool parse_error(std::size_t, const std::string&,
                   const nlohmann::detail::exception& e) override {
    error = e.what();
    return false;
  }

 private:
  // Appends to the innermost open container (or sets the root); the new node.
  Node* place(Node n) {
    if (open_.empty()) {
      root = std::move(n);
      return &root;
    }
    Node* parent = open_.back();
    if (parent->kind == Node::Kind::Array) {
      parent->items.push_back(std::move(n));
      return &parent->items.back();
    }
    parent->members.push_back(Member{std::move(key_), std::move(n)});
    return &parent->members.back().second;
  }
  bool add(Node n) {
    place(std::move(n));
    return true;
  }
  // A container stays open while its children are added; only the
  // innermost one grows, so the pointers to the open ones stay valid.
  bool open(Node n) {
    open_.push_back(place(std::move(n)));
    return true;
  }

  std::vector<Node*> open_;
  std::string key_;
};

}  // namespace

Node node_of(const Json& value) {
  switch (value.type()) {
    case Json::value_t::boolean: return boolean_node(value.get<bool>());
    case Json::value_t::number_integer: return integer(value.get<int64_t>());
    case Json::value_t::number_unsigned: return unsigned_integer(value.get<uint64_t>());
    case Json::value_t::number_float: return floating(value.get<double>());
    case Json::value_t::string: return string_node(value.get<std::string>());
    case Json::value_t::array: {
      Node n = scalar(Node::Kind::Array);
      for (const Json& item : value) n.items.push_back(node_of(item));
      return n;
    }
    case Json::value_t::object: {
      Node n = scalar(Node::Kind::Object);
      for (auto it = value.begin(); it != value.end(); ++it) {
        n.members.push_back(Member{it.key(), node_of(it.value())});
      }
      return n;
    }
    default:  // null; binary and discarded values do not come out of a parse
      return Node{};
  }
}

Expected<Node, std::string> parse_node(std::string_view text) {
  if (auto deep = nesting_error(text)) return unexpected(std::move(*deep));
  NodeBuilder builder;
  if (!Json::sax_parse(text.begin(), text.end(), &builder) || !builder.error.empty()) {
    return unexpected(std::move(builder.error));
  }
  return std::move(builder.root);
}

std::string float_text(double x) {
  if (!std::isfinite(x)) return std::isnan(x) ? "NaN" : (x > 0 ? "inf" : "-inf");
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific);
  std::string sci(buffer, end);
  std::string sign;
  if (sci[0] == '-') {
    sign = "-";
    sci.erase(0, 1);
  }
  const size_t e = sci.find('e');
  std::string digits = sci.substr(0, e);
  const int exponent = std::stoi(sci.substr(e + 1));
  if (digits.size() > 1) digits.erase(1, 1);  // drop the point
  const int point = exponent + 1;             // digits before the decimal point
  std::string out;
  if (point <= 0) {
    out = "0." + std::string(static_cast<size_t>(-point), '0') + digits;
  } else if (static_cast<size_t>(point) >= digits.size()) {
    out = digits + std::string(static_cast<size_t>(point) - digits.size(), '0') + ".0";
  } else {
    out = digits.substr(0, point) + "." + digits.substr(point);
  }
  return sign + out;
}

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\0': out += "\\0"; break;
      default:
        if (c < 0x20 || c == 0x7f) {
          out += format("\\u{%x}", static_cast<unsigned>(c));
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string found(const Node& n) {
  switch (n.kind) {
    case Node::Kind::Null: return "null";
    case Node::Kind::Bool: return n.boolean ? "boolean `true`" : "boolean `false`";
    case Node::Kind::Negative: return "integer `" + std::to_string(n.negative) + "`";
    case Node::Kind::Unsigned: return "integer `" + std::to_string(n.unsigned_value) + "`";
    case Node::Kind::Float: return "floating point `" + float_text(n.number) + "`";
    case Node::Kind::String: return "string " + quoted(n.text);
    case Node::Kind::Array: return "sequence";
    case Node::Kind::Object: return "map";
  }
  return "null";
}

std::string invalid_type(const Node& n, std::string_view expected) {
  return "invalid type: " + found(n) + ", expected " + std::string(expected);
}

std::string one_of(const std::string_view* names, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    if (i) out += ", ";
    out += '`';
    out += names[i];
    out += '`';
  }
  return out;
}

Read<bool> read_bool(const Node& n) {
  if (n.kind != Node::Kind::Bool) return unexpected(invalid_type(n, "a boolean"));
  return n.boolean;
}

Read<std::optional<bool>> read_optional_bool(const Node& n) {
  if (n.kind == Node::Kind::Null) return std::optional<bool>();
  auto value = read_bool(n);
  if (!value) return unexpected(std::move(value.error()));
  return std::optional<bool>(*value);
}

Read<std::string> read_string(const Node& n) {
  if (n.kind != Node::Kind::String) return unexpected(invalid_type(n, "a string"));
  return n.text;
}

Read<double> read_f64(const Node& n) {
  switch (n.kind) {
    case Node::Kind::Float: return n.number;
    case Node::Kind::Unsigned: return static_cast<double>(n.unsigned_value);
    case Node::Kind::Negative: return static_cast<double>(n.negative);
    default: return unexpected(invalid_type(n, "f64"));
  }
}

}  // namespace quorvane::json_reader
