#include "core/flavour.h"

const core::Flavour& core::programFlavour() { return core::kHttpFlavour; }
