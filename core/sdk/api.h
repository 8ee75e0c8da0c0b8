// The operations behind the module's seventeen functions, one each, in the
// form the binding needs: UTF-8 text in, result text (digest, key text or
// compact JSON) or a truth value out. Each returns an error value for what
// its input can cause, or aborts (see common/error.h).
//
// This is the one header the binding includes.
#pragma once

#include <string>
#include <string_view>

#include "common/error.h"

namespace lumora::sdk::api {

using Text = std::string_view;

}  // namespace lumora::sdk::api
