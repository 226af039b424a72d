#include "token/skf_api.h"

namespace qex {

ISkf::~ISkf() = default;

}  // namespace qex
