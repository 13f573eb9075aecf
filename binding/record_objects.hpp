// Python objects written straight from records: dicts in the records' key
// order, float for every double (None when not finite), int, str, bool and
// lists; the same objects json.loads gives for the record's JSON text.
#pragma once

#include "module_state.hpp"
#include "quorvane/records/record_writer.hpp"

namespace quorvane::py {

// The str of texts results have written, kept in the module state.
class KeptTexts;
void release_kept_texts(ModuleState* state);

// The Python objects of any record (a new reference), or null with a Python
// error set. Needs the interpreter lock.
PyObject* record_objects(ModuleState* state, void (*write_record)(RecordWriter&, const void*),
                         const void* record);

template <class Record>
PyObject* to_python(ModuleState* state, const Record& record) {
  return record_objects(
      state, [](RecordWriter& out, const void* r) { write_value(out, *static_cast<const Record*>(r)); },
      &record);
}

}  // namespace quorvane::py
