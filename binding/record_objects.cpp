#include "record_objects.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <cstring>
#include <string_view>
#include <vector>

#include "errors.hpp"

namespace quorvane::py {
namespace {

constexpr const char* kInvalidText = "a result holds text that is not valid UTF-8";

}  // namespace

// A hash of a short text, eight bytes at a time (multiply and fold, with
// the multipliers of MurmurHash3's finaliser).
uint64_t text_hash(std::string_view text) {
  uint64_t hash = 0x9E3779B97F4A7C15ull ^ text.size();
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    hash = (hash ^ word) * 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 32;
  }
  uint64_t rest = 0;
  std::memcpy(&rest, text.data() + i, text.size() - i);
  hash = (hash ^ rest) * 0xC4CEB9FE1A85EC53ull;
  return hash ^ (hash >> 29);
}

// One str per distinct text: keys repeat in every record of a list, and
// names and sign texts in most. An open-addressed table on text_hash; the
// views point into each str's own UTF-8, which lives as long as the table
// holds the str.
class TextTable {
 public:
  TextTable() = default;
  ~TextTable() {
    for (const Slot& slot : slots_) Py_XDECREF(slot.object);
  }
  TextTable(const TextTable&) = delete;
  TextTable& operator=(const TextTable&) = delete;

  size_t size() const { return used_; }

  // The str of `text` (borrowed; `hash` is its text_hash), or null with
  // `*invalid` set for text that is not UTF-8, or null with a Python error set.
  PyObject* find(std::string_view text, uint64_t hash, bool* invalid) {
    // Made on first use: with the module's kept texts most results need none.
    if (slots_.empty()) slots_.resize(64);
    size_t i = hash & (slots_.size() - 1);
    for (;; i = (i + 1) & (slots_.size() - 1)) {
      const Slot& slot = slots_[i];
      if (!slot.object) break;
      if (slot.hash == hash && slot.text.size() == text.size() &&
          std::memcmp(slot.text.data(), text.data(), text.size()) == 0) {
        return slot.object;
      }
    }
    PyObject* object = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()),
                                            "strict");
    if (!object) {
      if (PyErr_ExceptionMatches(PyExc_UnicodeDecodeError)) {
        PyErr_Clear();
        *invalid = true;
      }
      return nullptr;
    }
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(object, &size);
    if (!utf8) {
      Py_DECREF(object);
      return nullptr;
    }
    slots_[i] = {hash, std::string_view(utf8, static_cast<size_t>(size)), object};
    if (++used_ * 2 > slots_.size()) grow();
    return object;
  }

 private:
  struct Slot {
    uint64_t hash = 0;
    std::string_view text;
    PyObject* object = nullptr;
  };
  std::vector<Slot> slots_;  // a power of two, at most half full
  size_t used_ = 0;

  void grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (!slot.object) continue;
      size_t i = slot.hash & (slots_.size() - 1);
      while (slots_[i].object) i = (i + 1) & (slots_.size() - 1);
      slots_[i] = slot;
    }
  }
};

// Texts of every result, kept for the module's life: a chart writes over a
// thousand keys from about two hundred names, and its sign, body and
// aspect names recur from chart to chart; a str made once keeps its hash.
// Most are literals, so a cache on the text's address answers before the
// text is hashed; it still compares the text itself, since a buffer may
// hold another text later. Keys and values are kept apart, so that values
// that never recur (dates, formatted angles) cannot crowd out the keys.
class KeptTexts {
 public:
  // Past this many texts, no more are kept (texts made from data could
  // otherwise grow the table without end).
  static constexpr size_t kMaxTexts = 4096;

  // The text's str (borrowed) when it was last seen at the same address.
  PyObject* recent(std::string_view text) const {
    const Recent& recent = recent_[slot_of(text)];
    if (recent.address == text.data() && recent.text.size() == text.size() &&
        std::memcmp(recent.text.data(), text.data(), text.size()) == 0) {
      return recent.object;
    }
    return nullptr;
  }

  // The text's str (borrowed; `hash` is its text_hash), or null when it is
  // not kept (then the caller makes its own), or null with `*invalid` or a
  // Python error set.
  PyObject* find(std::string_view text, uint64_t hash, bool* invalid) {
    if (texts_.size() >= kMaxTexts) return nullptr;
    PyObject* object = texts_.find(text, hash, invalid);
    if (!object) return nullptr;
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(object, &size);
    if (!utf8) return nullptr;
    recent_[slot_of(text)] = {text.data(), std::string_view(utf8, static_cast<size_t>(size)), object};
    return object;
  }

 private:
  static constexpr size_t kRecent = 1024;  // a power of two
  struct Recent {
    const char* address = nullptr;
    std::string_view text;   // the str's own UTF-8
    PyObject* object = nullptr;  // borrowed from texts_
  };
  TextTable texts_;
  std::array<Recent, kRecent> recent_{};

  static size_t slot_of(std::string_view text) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(text.data());
    return ((address >> 3) ^ (address >> 13) ^ text.size()) & (kRecent - 1);
  }
};

void release_kept_texts(ModuleState* state) {
  delete state->keys;
  state->keys = nullptr;
  delete state->texts;
  state->texts = nullptr;
}

namespace {

// Builds the objects from the writer's stream. After the first failure it
// takes no more values; the Python error (if any) stays set.
class ObjectBuilder final : public RecordWriter {
 public:
  // The finished root, or null (the reason in failed_ / invalid_text_).
  ObjectBuilder(KeptTexts* keys, KeptTexts* values) : keys_(keys), values_(values) {}

  PyRef take_root() { return failed_ ? PyRef() : std::move(root_); }
  bool invalid_text() const { return invalid_text_; }

  void begin_object() override { open(PyDict_New()); }
  void end_object() override { open_.pop_back(); }
  void begin_array() override { open(PyList_New(0)); }
  void end_array() override { open_.pop_back(); }
  void key(std::string_view name) override {
    if (failed_) return;
    key_ = find(keys_, name);
    if (!key_) failed_ = true;
  }
  void null() override { place(Py_NewRef(Py_None)); }
  void boolean(bool value) override { place(PyBool_FromLong(value)); }
  void integer(int64_t value) override { place(PyLong_FromLongLong(value)); }
  void unsigned_integer(uint64_t value) override { place(PyLong_FromUnsignedLongLong(value)); }
  void number(double value) override {
    place(std::isfinite(value) ? PyFloat_FromDouble(value) : Py_NewRef(Py_None));
  }
  void text(std::string_view value) override {
    if (failed_) return;
    place(Py_XNewRef(find(values_, value)));
  }

 private:
  PyRef root_;
  std::vector<PyObject*> open_;  // borrowed: each is held by its parent (or the root)
  PyObject* key_ = nullptr;      // borrowed from keys_ or texts_
  KeptTexts* keys_;               // the module's, or null
  KeptTexts* values_;             // the module's, or null
  TextTable texts_;
  bool failed_ = false;
  bool invalid_text_ = false;

  // The str of a text (borrowed): the module's when it keeps it, else this
  // result's own; null with invalid_text_ or a Python error set.
  PyObject* find(KeptTexts* kept, std::string_view text) {
    if (kept) {
      if (PyObject* seen = kept->recent(text)) return seen;
    }
    const uint64_t hash = text_hash(text);
    PyObject* object = kept ? kept->find(text, hash, &invalid_text_) : nullptr;
    if (object || invalid_text_ || PyErr_Occurred()) return object;
    return texts_.find(text, hash, &invalid_text_);
  }

  // Adds a new reference to the innermost open container (or makes it the
  // root); false when nothing was added.
  bool place(PyObject* value) {
    PyRef owned = PyRef::steal(value);
    if (failed_) return false;
    if (!owned) {
      failed_ = true;
      return false;
    }
    if (open_.empty()) {
      root_ = std::move(owned);
      return true;
    }
    PyObject* parent = open_.back();
    const int status = PyList_CheckExact(parent) ? PyList_Append(parent, owned.get())
                                                 : PyDict_SetItem(parent, key_, owned.get());
    if (status < 0) failed_ = true;
    return status == 0;
  }

  void open(PyObject* container) {
    PyObject* borrowed = container;
    if (place(container)) {
      open_.push_back(borrowed);
    } else {
      open_.push_back(nullptr);  // a placeholder, so the closes still pair up
    }
  }
};

}  // namespace

PyObject* record_objects(ModuleState* state, void (*write_record)(RecordWriter&, const void*),
                         const void* record) {
  try {
    if (!state->keys) state->keys = new KeptTexts;
    if (!state->texts) state->texts = new KeptTexts;
    ObjectBuilder builder(state->keys, state->texts);
    write_record(builder, record);
    PyRef root = builder.take_root();
    if (root) return root.release();
    if (builder.invalid_text()) return raise_engine_failure(state, kInvalidText);
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_SystemError, "a result wrote no value");
    return nullptr;
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  } catch (const std::length_error&) {
    return PyErr_NoMemory();
  }
}

}  // namespace quorvane::py
