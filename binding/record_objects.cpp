#include "record_objects.hpp"

#include <cmath>
#include <new>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "errors.hpp"

namespace quorvane::py {
namespace {

constexpr const char* kInvalidText = "a result holds text that is not valid UTF-8";

// Builds the objects from the writer's stream. After the first failure it
// takes no more values; the Python error (if any) stays set.
class ObjectBuilder final : public RecordWriter {
 public:
  ~ObjectBuilder() override {
    for (auto& [text, key] : keys_) Py_DECREF(key);
  }

  // The finished root, or null (the reason in failed_ / invalid_text_).
  PyRef take_root() { return failed_ ? PyRef() : std::move(root_); }
  bool invalid_text() const { return invalid_text_; }

  void begin_object() override { open(PyDict_New()); }
  void end_object() override { open_.pop_back(); }
  void begin_array() override { open(PyList_New(0)); }
  void end_array() override { open_.pop_back(); }
  void key(std::string_view name) override {
    if (failed_) return;
    key_ = key_object(name);
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
    PyObject* object =
        PyUnicode_DecodeUTF8(value.data(), static_cast<Py_ssize_t>(value.size()), "strict");
    if (!object && PyErr_ExceptionMatches(PyExc_UnicodeDecodeError)) {
      PyErr_Clear();
      invalid_text_ = true;
    }
    place(object);
  }

 private:
  PyRef root_;
  std::vector<PyObject*> open_;  // borrowed: each is held by its parent (or the root)
  PyObject* key_ = nullptr;      // borrowed from keys_
  // Keys repeat in every record of a list: one str each. The views point
  // into the keys' own UTF-8, which lives as long as the key.
  std::unordered_map<std::string_view, PyObject*> keys_;
  bool failed_ = false;
  bool invalid_text_ = false;

  PyObject* key_object(std::string_view name) {
    if (auto found = keys_.find(name); found != keys_.end()) return found->second;
    PyObject* key = PyUnicode_DecodeUTF8(name.data(), static_cast<Py_ssize_t>(name.size()), "strict");
    if (!key) {
      if (PyErr_ExceptionMatches(PyExc_UnicodeDecodeError)) {
        PyErr_Clear();
        invalid_text_ = true;
      }
      return nullptr;
    }
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(key, &size);
    if (!utf8) {
      Py_DECREF(key);
      return nullptr;
    }
    keys_.emplace(std::string_view(utf8, static_cast<size_t>(size)), key);
    return key;
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
    ObjectBuilder builder;
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
