#include "core/flavour.h"
#include "cert/certificate.h"

const core::Flavour& core::programFlavour() {
  static const core::Flavour f = [] {
    core::Flavour v = core::kHttpsFlavour;
    v.ensureCertificate = cert::ensureCertificate;
    return v;
  }();
  return f;
}
