#include "app/flavour.h"

namespace app {

const Flavour kHttpsFlavour = {
    "vantrel-https", true, "https", "HTTPS", 443, 8443, "AUTH", true, "", nullptr,
};

const Flavour kHttpFlavour = {
    "vantrel-http", false, "http", "HTTP", 80, 8080, "VANTREL_PRO_AUTH", false, "HTTP.log", nullptr,
};

static const Flavour* current = &kHttpsFlavour;

void setFlavour(const Flavour& f) { current = &f; }

const Flavour& flavour() { return *current; }

}  // namespace app
