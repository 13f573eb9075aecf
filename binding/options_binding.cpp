// option_codes(): the option texts every chart call understands.
#include "args.hpp"
#include "convert.hpp"
#include "functions.hpp"
#include "unlocked.hpp"
#include "quorvane/zodiac/options.hpp"

namespace quorvane::py {
namespace {

PyObject* option_codes_function(PyObject* module, PyObject* args, PyObject* kwargs) {
  RecordArguments given;
  if (!parse_arguments(args, kwargs, "option_codes", &given)) return nullptr;
  return run_unlocked(state_of(module), [] { return quorvane::option_codes(); }, given.form);
}

}  // namespace

PyMethodDef option_codes_method = {
    "option_codes",
    with_keywords(option_codes_function),
    METH_VARARGS | METH_KEYWORDS,
    "option_codes(*, json=False)\n--\n\n"
    "The accepted codes of each chart option (house_system, zodiac_type, ayanamsa,\n"
    "dignity_scheme and the orb_settings method), each with its name. Other texts\n"
    "fall back to the first code listed (galcent_0sag for the ayanamsa, aspect\n"
    "for the orb method) with a UserWarning."};

}  // namespace quorvane::py
