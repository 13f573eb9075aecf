// option_codes(): the option texts every chart call understands.
#include "args.hpp"
#include "convert.hpp"
#include "functions.hpp"
#include "quorvane/options.hpp"

namespace quorvane::py {
namespace {

PyObject* option_codes_function(PyObject* module, PyObject* /*unused*/) {
  return hand_off(state_of(module), quorvane::option_codes());
}

}  // namespace

PyMethodDef option_codes_method = {
    "option_codes", option_codes_function, METH_NOARGS,
    "option_codes()\n--\n\n"
    "The accepted codes of each chart option (house_system, zodiac_type, ayanamsa,\n"
    "dignity_scheme and the orb_settings method), each with its name. Other texts\n"
    "fall back to the first code listed (galcent_0sag for the ayanamsa, aspect\n"
    "for the orb method) with a UserWarning."};

}  // namespace quorvane::py
