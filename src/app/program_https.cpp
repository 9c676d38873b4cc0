#include "app/flavour.h"
#include "cert/certificate.h"

const app::Flavour& app::programFlavour() {
  static const Flavour f = [] {
    Flavour v = kHttpsFlavour;
    v.ensureCertificate = cert::ensureCertificate;
    return v;
  }();
  return f;
}
