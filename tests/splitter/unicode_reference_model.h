// The reference model for sources of 16-bit units and sources with a byte-order mark: the
// one model of the split rules, which reads any unit size.
#pragma once

#include "reference_model.h"
