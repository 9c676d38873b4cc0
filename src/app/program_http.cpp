#include "app/flavour.h"

const app::Flavour& app::programFlavour() { return kHttpFlavour; }
