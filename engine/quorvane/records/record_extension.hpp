// A record written with more fields after its own: the horary and the
// election charts are the chart's object with one more key at its end.
#pragma once

#include <string_view>

#include "quorvane/records/record_writer.hpp"

namespace quorvane {

// Passes a record's stream on, and just before its outermost object closes
// writes `more` there (`more(out)` writes key/value pairs into `out`).
template <class More>
class TrailingFields final : public RecordWriter {
 public:
  TrailingFields(RecordWriter& out, More& more) : out_(out), more_(more) {}

  void begin_object() override {
    ++depth_;
    out_.begin_object();
  }
  void end_object() override {
    if (--depth_ == 0) more_(out_);
    out_.end_object();
  }
  void begin_array() override {
    ++depth_;
    out_.begin_array();
  }
  void end_array() override {
    --depth_;
    out_.end_array();
  }
  void key(std::string_view name) override { out_.key(name); }
  void null() override { out_.null(); }
  void boolean(bool value) override { out_.boolean(value); }
  void integer(int64_t value) override { out_.integer(value); }
  void unsigned_integer(uint64_t value) override { out_.unsigned_integer(value); }
  void number(double value) override { out_.number(value); }
  void text(std::string_view value) override { out_.text(value); }

 private:
  RecordWriter& out_;
  More& more_;
  int depth_ = 0;
};

// `record`'s object followed by the field `name`: `value`.
template <class Record, class Value>
void write_with_field(RecordWriter& out, const Record& record, std::string_view name,
                      const Value& value) {
  auto more = [&](RecordWriter& inner) {
    inner.key(name);
    write_value(inner, value);
  };
  TrailingFields<decltype(more)> extended(out, more);
  write_value(extended, record);
}

}  // namespace quorvane
