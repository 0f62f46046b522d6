// oleauto.h: automation strings and variants (BSTR, VARIANT, IDispatch). They are declared with
// the rest of COM in objbase.h; this header exists so that programs can include either.
#pragma once

#include "objbase.h"
