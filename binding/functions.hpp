// Module-level functions, each defined beside the subject it binds.
#pragma once

#include "pyref.hpp"

namespace quorvane::py {

// A function taking keywords, as a method table holds it.
using KeywordFunction = PyObject* (*)(PyObject*, PyObject*, PyObject*);
inline PyCFunction with_keywords(KeywordFunction function) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

extern PyMethodDef julian_day_method;
extern PyMethodDef synastry_method;
extern PyMethodDef derived_chart_method;
extern PyMethodDef degree_qualities_method;
extern PyMethodDef degree_quality_table_method;
extern PyMethodDef time_lords_method;
extern PyMethodDef chart_dignities_method;
extern PyMethodDef bazi_method;
extern PyMethodDef zi_wei_method;
extern PyMethodDef option_codes_method;
extern PyMethodDef declination_aspects_method;
extern PyMethodDef chart_structure_method;
extern PyMethodDef harmonic_chart_method;

// Adds the Engine class to the module (engine_type.cpp).
int add_engine_type(PyObject* module);

}  // namespace quorvane::py
