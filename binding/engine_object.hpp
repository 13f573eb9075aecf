// What other binding files need of an Engine object: its kernel set, the
// module state, and the place to add Engine methods.
#pragma once

#include <memory>

#include "module_state.hpp"
#include "pyref.hpp"
#include "quorvane/ephemeris/kernels.hpp"

namespace quorvane::py {

// The kernel set of an Engine (the `self` of an Engine method). It never
// changes after construction, so it may be read with the interpreter lock
// released for as long as the caller holds `self`.
const KernelSet& engine_kernels(PyObject* self);

// The same set, shared: for work that may outlive the call's hold on `self`.
std::shared_ptr<const KernelSet> engine_kernels_shared(PyObject* self);

// The state of the module that defined the Engine type.
ModuleState* engine_state(PyObject* self);

// Engine methods, each defined beside the engine it calls. To add one,
// declare it here and append its address to `engine_method_list` in
// engine_type.cpp.
extern PyMethodDef engine_supports_method;
extern PyMethodDef engine_reduce_method;
extern PyMethodDef engine_chart_method;
extern PyMethodDef engine_transit_method;
extern PyMethodDef engine_horary_method;
extern PyMethodDef engine_election_method;
extern PyMethodDef engine_elections_method;
extern PyMethodDef engine_positions_method;
extern PyMethodDef engine_planet_return_method;
extern PyMethodDef engine_returns_method;
extern PyMethodDef engine_transit_timeline_method;
extern PyMethodDef engine_events_method;
extern PyMethodDef engine_prenatal_method;
extern PyMethodDef engine_solar_eclipse_at_method;
extern PyMethodDef engine_jyotish_method;
extern PyMethodDef engine_progressions_method;
extern PyMethodDef engine_solar_arc_directions_method;
extern PyMethodDef engine_zodiacal_releasing_method;
extern PyMethodDef engine_primary_directions_method;
extern PyMethodDef engine_composite_method;
extern PyMethodDef engine_davison_method;
extern PyMethodDef engine_astrocartography_method;
extern PyMethodDef engine_house_positions_method;

}  // namespace quorvane::py
